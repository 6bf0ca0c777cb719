#pragma once

// Helpers for tests of the Qt windows and layers (header-only: only Qt tests include it).

#include "platform/GuardedApplication.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
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

// The one application object of a test process, created on first use. It is never destroyed:
// at exit Qt's own statics (the SQL driver registry) go before a static application would.
inline TQuietpaneApplication& TestApplication()
{
    static TQuietpaneApplication* application = [] {
        PrepareQtEnvironment();
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        static int argc = 1;
        static char name[] = "quietpane-test";
        static char* argv[] = {name, nullptr};
        return std::make_unique<TQuietpaneApplication>(argc, argv).release();
    }();
    return *application;
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
