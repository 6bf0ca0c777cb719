#pragma once

// Helpers for tests of the Qt windows and layers (header-only: only Qt tests include it).

#include "platform/GuardedApplication.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <unistd.h>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace quietpane::test {

// The environment every Qt test runs in: no screen needed; the web engine's sandbox refuses root.
inline void PrepareQtEnvironment()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
        setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 1);
    }
}

// Deletes the test application once every test has run, before the process exits: the web
// engine must shut down with its application, or its threads still run while the process's
// statics go. Neither a static nor a leaked application gets that order right.
class ApplicationCloser final : public ::testing::EmptyTestEventListener {
public:
    explicit ApplicationCloser(std::unique_ptr<TQuietpaneApplication> application)
        : application_(std::move(application))
    {
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { application_.reset(); }
    TQuietpaneApplication& Application() { return *application_; }

private:
    std::unique_ptr<TQuietpaneApplication> application_;
};

// The one application object of a test process, created on first use.
inline TQuietpaneApplication& TestApplication()
{
    static TQuietpaneApplication& application = []() -> TQuietpaneApplication& {
        PrepareQtEnvironment();
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        static int argc = 1;
        static char name[] = "quietpane-test";
        static char* argv[] = {name, nullptr};
        auto* closer = new ApplicationCloser(std::make_unique<TQuietpaneApplication>(argc, argv));
        ::testing::UnitTest::GetInstance()->listeners().Append(closer); // the listeners own it
        return closer->Application();
    }();
    return application;
}

// Runs the event loop until the condition holds; false after the timeout.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// Message boxes that record what they would have shown; installed while the object lives.
class RecordingMessageBoxes final : public TMessageBoxes {
public:
    RecordingMessageBoxes() { SetMessageBoxes(this); }
    ~RecordingMessageBoxes() override { SetMessageBoxes(nullptr); }
    RecordingMessageBoxes(const RecordingMessageBoxes&) = delete;
    RecordingMessageBoxes& operator=(const RecordingMessageBoxes&) = delete;

    void ShowMessage(const QString& text) override { messages.append(text); }
    void Warning(const QString& text) override { warnings.append(text); }
    void Error(const QString& text) override { errors.append(text); }
    void ApplicationError(const QString& text) override { applicationErrors.append(text); }
    bool Confirm(const QString& text) override
    {
        questions.append(text);
        return confirmAnswer;
    }

    QStringList messages, warnings, errors, applicationErrors, questions;
    bool confirmAnswer = true;
};

} // namespace quietpane::test
