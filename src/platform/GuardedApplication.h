#pragma once

#include <QApplication>

#include <exception>
#include <utility>

namespace quietpane {

// Shows the message of a failure that escaped a handler in the application-wide error box.
void ReportException(const std::exception_ptr& failure);

// Runs a handler outside Qt's event dispatching (start-up, tests) with the same guard as events.
template <typename Handler> void RunGuarded(Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

// The application: no exception crosses the event loop; a failure in any event handler is
// reported in the error box and the program goes on.
class TQuietpaneApplication final : public QApplication {
public:
    TQuietpaneApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// The application-wide cursor: true shows the hourglass, false leaves no override cursor at all.
void ShowBusyCursor(bool busy);

// Remembers the application-wide cursor and puts it back when it goes out of scope.
class TCursorRestorer {
public:
    TCursorRestorer();
    ~TCursorRestorer();
    TCursorRestorer(const TCursorRestorer&) = delete;
    TCursorRestorer& operator=(const TCursorRestorer&) = delete;

private:
    bool hadOverride_;
    int shape_;
};

} // namespace quietpane
