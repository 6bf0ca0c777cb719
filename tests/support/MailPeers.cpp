#include "support/MailPeers.h"

#include <csignal>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quietpane::test {

namespace {

constexpr int MailUserId = 65534; // the unprivileged user Dovecot runs mail processes as when we are root
constexpr int StartAttempts = 3;  // a free port may be taken by a parallel test before the server binds

int MailOwner()
{
    return getuid() == 0 ? MailUserId : static_cast<int>(getuid());
}

void GiveToMailUser(const std::filesystem::path& path)
{
    if (chown(path.c_str(), MailOwner(), MailOwner()) != 0) {
        throw std::runtime_error("cannot chown " + path.string());
    }
}

std::vector<std::string> ReadLines(const std::filesystem::path& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// openssl talks on its standard error even when all goes well; a failure still raises.
void RunOpenssl(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"sh", "-c", "exec openssl \"$@\" 2>/dev/null", "openssl"});
    RunProgram(arguments);
}

bool WaitForFile(const std::filesystem::path& path, ChildProcess& process, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(path)) {
            return true;
        }
        if (!process.Running()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

// ---------------------------------------------------------------- certificates

TestCertificates::TestCertificates() : caFile_(folder_.Path() / "ca.crt")
{
    // Dovecot's unprivileged login process reads the keys too.
    std::filesystem::permissions(folder_.Path(), std::filesystem::perms(0755));
    const std::string ca = (folder_.Path() / "ca").string();
    RunOpenssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-days", "2", "-subj", "/CN=Quietpane Test CA", "-addext",
                "keyUsage=critical,keyCertSign,cRLSign", "-keyout", ca + ".key", "-out", caFile_.string()});
    MakeLeaf("this-machine", "DNS:localhost,IP:127.0.0.1,IP:127.0.0.2");
    MakeLeaf("stranger", "DNS:mail.example.org");
    MakeLeaf("common-name-only", "IP:127.0.0.3");
}

void TestCertificates::MakeLeaf(const std::string& name, const std::string& subjectAltName) const
{
    const std::string base = (folder_.Path() / name).string();
    folder_.WriteFile(name + ".ext", "subjectAltName=" + subjectAltName +
                                         "\nbasicConstraints=critical,CA:FALSE\n"
                                         "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
    RunOpenssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                "/CN=" + name, "-keyout", base + ".key", "-out", base + ".csr"});
    RunOpenssl({"x509", "-req", "-in", base + ".csr", "-CA", caFile_.string(), "-CAkey",
                (folder_.Path() / "ca.key").string(), "-CAcreateserial", "-days", "2", "-extfile",
                base + ".ext", "-out", base + ".crt"});
    folder_.WriteFile(name + "-chain.crt", ReadFile(base + ".crt") + ReadFile(caFile_));
    std::filesystem::permissions(base + ".key", std::filesystem::perms(0644));
}

TlsIdentity TestCertificates::Identity(const std::string& name) const
{
    return {folder_.Path() / (name + "-chain.crt"), folder_.Path() / (name + ".key")};
}

// ---------------------------------------------------------------- Dovecot

DovecotServer::DovecotServer(const TlsIdentity& tls) : tls_(tls)
{
    Prepare();
}

DovecotServer::DovecotServer()
{
    Prepare();
}

void DovecotServer::Prepare()
{
    // The mail processes run as the mail user, who must be able to walk down to the maildir.
    std::filesystem::permissions(folder_.Path(), std::filesystem::perms(0755));
    maildir_ = folder_.Path() / "mail" / User;
    for (const char* sub : {"", "/cur", "/new", "/tmp"}) {
        std::filesystem::create_directories(maildir_.string() + sub);
        GiveToMailUser(maildir_.string() + sub);
    }
    GiveToMailUser(maildir_.parent_path());
    std::ofstream(folder_.Path() / "passwd") << User << ":{PLAIN}" << Password << ":" << MailOwner() << ":"
                                             << MailOwner() << "::" << maildir_.string() << "::\n";
    Start();
}

DovecotServer::~DovecotServer() = default;

void DovecotServer::WriteConfiguration() const
{
    const std::string base = folder_.Path().string();
    std::ofstream config(folder_.Path() / "dovecot.conf");
    config << "protocols = pop3\n"
           << "listen = 127.0.0.1\n";
    if (tls_) {
        config << "ssl = required\n"
               << "ssl_cert = <" << tls_->chain.string() << "\n"
               << "ssl_key = <" << tls_->key.string() << "\n";
    } else {
        config << "ssl = no\n"
               << "disable_plaintext_auth = no\n";
    }
    config << "auth_mechanisms = plain login\n"
           << "auth_failure_delay = 0\n"
           << "base_dir = " << base << "/run\n"
           << "state_dir = " << base << "/state\n"
           << "log_path = " << base << "/dovecot.log\n"
           << "instance_name = quietpane" << port_ << "\n"
           << "mail_location = maildir:" << base << "/mail/%u\n"
           << "passdb {\n  driver = passwd-file\n  args = " << base << "/passwd\n}\n"
           << "userdb {\n  driver = passwd-file\n  args = " << base << "/passwd\n}\n"
           << "service pop3-login {\n"
           << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << port_ << "\n  }\n"
           << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << tlsPort_ << "\n"
           << "    ssl = " << (tls_ ? "yes" : "no") << "\n  }\n"
           << "}\n";
}

void DovecotServer::Start()
{
    const std::string program = FindProgram({"/usr/sbin/dovecot", "/usr/local/sbin/dovecot"});
    if (program.empty()) {
        throw std::runtime_error("dovecot is not installed (scripts/setup.sh installs it)");
    }
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        port_ = FreePort();
        tlsPort_ = tls_ ? FreePort() : 0;
        WriteConfiguration();
        ChildProcess::Options options;
        options.logFile = folder_.Path() / "dovecot.out";
        // The master waits seconds for its children on SIGTERM; the instance lives in a
        // throw-away folder, so the whole process group is killed at once instead.
        options.stopGrace = std::chrono::milliseconds(0);
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{program, "-F", "-c", (folder_.Path() / "dovecot.conf").string()},
            options);
        if (WaitForPort(port_)) {
            return;
        }
        process_->Stop();
    }
    throw std::runtime_error("dovecot did not start; see " + (folder_.Path() / "dovecot.log").string());
}

std::filesystem::path DovecotServer::Deliver(const std::string& message)
{
    const std::string name = std::to_string(1000000 + ++deliveries_) + ".quietpane";
    const std::filesystem::path staged = maildir_ / "tmp" / name;
    {
        std::ofstream out(staged, std::ios::binary);
        out << message;
        if (!out) {
            throw std::runtime_error("cannot write " + staged.string());
        }
    }
    GiveToMailUser(staged);
    const std::filesystem::path delivered = maildir_ / "new" / name;
    std::filesystem::rename(staged, delivered);
    return delivered;
}

std::size_t DovecotServer::StoredMessageCount() const
{
    std::size_t count = 0;
    for (const char* sub : {"new", "cur"}) {
        for (const auto& entry : std::filesystem::directory_iterator(maildir_ / sub)) {
            count += entry.is_regular_file() ? 1 : 0;
        }
    }
    return count;
}

void DovecotServer::EmptyMailbox()
{
    for (const char* sub : {"new", "cur"}) {
        for (const auto& entry : std::filesystem::directory_iterator(maildir_ / sub)) {
            std::filesystem::remove(entry.path());
        }
    }
}

// ---------------------------------------------------------------- aiosmtpd

SmtpServer::SmtpServer(const std::vector<std::string>& refused, std::chrono::seconds idleTimeout)
{
    std::vector<std::string> options;
    for (const std::string& address : refused) {
        options.push_back("--refuse");
        options.push_back(address);
    }
    options.push_back("--idle-timeout");
    options.push_back(std::to_string(idleTimeout.count()));
    Start(options);
}

SmtpServer::SmtpServer(Tls mode, const TlsIdentity& identity)
{
    Start({mode == Tls::Implicit ? "--implicit-tls" : "--starttls", identity.chain.string(),
           identity.key.string()});
}

void SmtpServer::Start(const std::vector<std::string>& serverOptions)
{
    const std::string script = std::string(QUIETPANE_TEST_SCRIPTS_DIR) + "/smtp_server.py";
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        port_ = FreePort();
        std::vector<std::string> argv{"/usr/bin/python3", script, std::to_string(port_),
                                      Folder().string(),  User,   Password};
        argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
        ChildProcess::Options options;
        options.logFile = Folder() / "server.log";
        options.stopGrace = std::chrono::seconds(2);
        process_ = std::make_unique<ChildProcess>(argv, options);
        if (WaitForFile(Folder() / "ready", *process_, std::chrono::seconds(20))) {
            return;
        }
        process_->Stop();
    }
    throw std::runtime_error("the SMTP server did not start; see " + (Folder() / "server.log").string());
}

SmtpServer::~SmtpServer() = default;

std::vector<std::filesystem::path> SmtpServer::Messages() const
{
    std::vector<std::filesystem::path> messages;
    for (int number = 1;; ++number) {
        const std::filesystem::path file = Folder() / ("message-" + std::to_string(number) + ".eml");
        if (!std::filesystem::exists(file)) {
            return messages;
        }
        messages.push_back(file);
    }
}

std::vector<std::string> SmtpServer::Session(int number) const
{
    return ReadLines(Folder() / ("session-" + std::to_string(number) + ".txt"));
}

bool SmtpServer::WaitForSessionEnd(int number, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::vector<std::string> lines = Session(number);
        if (!lines.empty() && lines.back() == "-- closed") {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<std::string> SmtpServer::ClientLines(int number) const
{
    std::vector<std::string> lines;
    for (const std::string& line : Session(number)) {
        if (line.rfind("C: ", 0) == 0) {
            lines.push_back(line.substr(3));
        }
    }
    return lines;
}

// ---------------------------------------------------------------- scripted server

namespace {

constexpr int StepTimeoutMs = 30000; // no scenario step waits longer for the client

} // namespace

// One connection of the scenario, in clear or, after StartTls, through a server-side TLS session.
class ScriptedServer::Channel {
public:
    explicit Channel(int connection) : connection_(connection) {}
    ~Channel()
    {
        SSL_free(session_);
        SSL_CTX_free(context_);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    void Send(std::string_view bytes)
    {
        if (session_ == nullptr) {
            SendAll(connection_, bytes);
            return;
        }
        if (!bytes.empty() && SSL_write(session_, bytes.data(), static_cast<int>(bytes.size())) <= 0) {
            throw std::runtime_error("TLS write failed");
        }
    }

    // What arrived within the step time-out; empty when the client closed or stayed silent.
    std::string Receive()
    {
        if (session_ == nullptr || SSL_pending(session_) == 0) {
            pollfd waiting{connection_, POLLIN, 0};
            if (poll(&waiting, 1, StepTimeoutMs) <= 0) {
                return {};
            }
        }
        char chunk[65536];
        const long count = session_ == nullptr ? recv(connection_, chunk, sizeof chunk, 0)
                                               : SSL_read(session_, chunk, sizeof chunk);
        return count > 0 ? std::string(chunk, static_cast<std::size_t>(count)) : std::string();
    }

    void StartTls(const TlsIdentity& identity)
    {
        // OpenSSL writes to the socket without MSG_NOSIGNAL: a client gone must not end the test.
        signal(SIGPIPE, SIG_IGN);
        context_ = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_chain_file(context_, identity.chain.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(context_, identity.key.c_str(), SSL_FILETYPE_PEM) != 1) {
            throw std::runtime_error("the test certificate cannot be loaded");
        }
        session_ = SSL_new(context_);
        SSL_set_fd(session_, connection_);
        if (SSL_accept(session_) != 1) {
            throw std::runtime_error("the TLS handshake failed");
        }
    }

    // Returns once the connection is shut down (by the server's destructor) or after the step time-out.
    void Stall() const
    {
        pollfd waiting{connection_, 0, 0};
        poll(&waiting, 1, StepTimeoutMs);
    }

    void Close() const { shutdown(connection_, SHUT_RDWR); }

private:
    int connection_;
    SSL_CTX* context_ = nullptr;
    SSL* session_ = nullptr;
};

std::vector<ScriptedServer::Step> ScriptedServer::Parse(const std::string& table)
{
    std::vector<Step> steps;
    std::istringstream in(table);
    for (std::string line; std::getline(in, line);) {
        line.erase(0, line.find_first_not_of(" \t"));
        if (line.empty()) {
            continue;
        }
        if (line == "<close>") {
            steps.push_back({Step::Kind::Close, ""});
        } else if (line == "<until closed>") {
            steps.push_back({Step::Kind::UntilClosed, ""});
        } else if (line == "<tls>") {
            steps.push_back({Step::Kind::StartTls, ""});
        } else if (line == "<stall>") {
            steps.push_back({Step::Kind::Stall, ""});
        } else if (line == "C: <data>") {
            steps.push_back({Step::Kind::ExpectData, ""});
        } else if (line == "S:") {
            steps.push_back({Step::Kind::Send, ""});
        } else if (line.rfind("S: ", 0) == 0) {
            steps.push_back({Step::Kind::Send, line.substr(3)});
        } else if (line.rfind("S~ ", 0) == 0) {
            steps.push_back({Step::Kind::Trickle, line.substr(3) + "\r\n"});
        } else if (line.rfind("C: ", 0) == 0) {
            steps.push_back({Step::Kind::Expect, line.substr(3)});
        } else {
            throw std::invalid_argument("scenario line not understood: " + line);
        }
    }
    return steps;
}

ScriptedServer::Step ScriptedServer::SendRaw(std::string text, std::size_t count)
{
    return {Step::Kind::SendRaw, std::move(text), count};
}

ScriptedServer::ScriptedServer(std::vector<Step> steps, std::optional<TlsIdentity> identity)
    : sessions_{std::move(steps)}, identity_(std::move(identity))
{
    server_ = std::make_unique<LoopbackServer>([this](int connection) { Play(connection); });
}

ScriptedServer::ScriptedServer(const std::vector<std::string>& tables, const TlsIdentity& identity)
    : identity_(identity)
{
    for (const std::string& table : tables) {
        sessions_.push_back(Parse(table));
    }
    server_ = std::make_unique<LoopbackServer>([this](int connection) { Play(connection); },
                                               static_cast<int>(sessions_.size()));
}

ScriptedServer::~ScriptedServer() = default;

bool ScriptedServer::WaitFinished(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
    return completed_;
}

std::vector<std::string> ScriptedServer::ClientLines()
{
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string ScriptedServer::Received()
{
    std::lock_guard lock(mutex_);
    return received_;
}

std::string ScriptedServer::Mismatch()
{
    std::lock_guard lock(mutex_);
    return mismatch_;
}

void ScriptedServer::Fail(const std::string& reason)
{
    std::lock_guard lock(mutex_);
    if (mismatch_.empty()) {
        mismatch_ = reason;
    }
}

bool ScriptedServer::ReadLine(Channel& channel, std::string& line)
{
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            line = pending_.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pending_.erase(0, end + 1);
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
            return true;
        }
        const std::string chunk = channel.Receive();
        if (chunk.empty()) {
            return false;
        }
        pending_ += chunk;
        std::lock_guard lock(mutex_);
        received_ += chunk;
    }
}

bool ScriptedServer::PlayStep(Channel& channel, const Step& step)
{
    std::string line;
    switch (step.kind) {
    case Step::Kind::Send:
        channel.Send(step.text + "\r\n");
        return true;
    case Step::Kind::SendRaw:
        for (std::size_t repeat = 0; repeat < step.count; ++repeat) {
            channel.Send(step.text);
        }
        return true;
    case Step::Kind::Trickle:
        for (const char byte : step.text) {
            std::this_thread::sleep_for(kTricklePause);
            channel.Send(std::string_view(&byte, 1));
        }
        return true;
    case Step::Kind::Expect:
        if (!ReadLine(channel, line)) {
            return false;
        }
        if (step.text != "*" && line != step.text) {
            Fail("expected \"" + step.text + "\", got \"" + line + "\"");
        }
        return true;
    case Step::Kind::ExpectData:
        while (ReadLine(channel, line)) {
            if (line == ".") {
                return true;
            }
        }
        return false;
    case Step::Kind::Close:
        channel.Close();
        return true;
    case Step::Kind::UntilClosed:
        while (ReadLine(channel, line)) {
        }
        return true;
    case Step::Kind::StartTls:
        if (!identity_) {
            throw std::logic_error("a <tls> step needs a server identity");
        }
        channel.StartTls(*identity_);
        return true;
    case Step::Kind::Stall:
        channel.Stall();
        return true;
    }
    return false;
}

void ScriptedServer::Play(int connection)
{
    const std::vector<Step>& steps = sessions_[played_++];
    Channel channel(connection);
    pending_.clear();
    bool played = true;
    for (std::size_t index = 0; played && index < steps.size(); ++index) {
        try {
            played = PlayStep(channel, steps[index]);
        } catch (const std::exception&) {
            played = false;
        }
        if (!played) {
            Fail("the connection ended before step " + std::to_string(index + 1) + " was done");
        }
    }
    std::lock_guard lock(mutex_);
    failed_ = failed_ || !played;
    finished_ = failed_ || played_ == sessions_.size();
    completed_ = finished_ && !failed_;
    finishedChanged_.notify_all();
}

} // namespace quietpane::test
