#pragma once

// The main-thread dispatcher of the GUI: work handed over from the runner's
// reader thread runs in the Qt event loop of the user-interface thread, also
// inside modal loops (the progress window, message boxes).

#include "engine/Redirect.h"

#include <QObject>
#include <functional>
#include <string>

class TQtDispatcher : public QObject, public TMainThreadDispatcher {
    Q_OBJECT
public:
    // Create it on the user-interface thread; it serves that thread.
    explicit TQtDispatcher(QObject* parent = nullptr);

    // Runs Fn on the user-interface thread and returns when it has run;
    // an exception it throws is thrown again to the caller.
    void Invoke(std::function<void()> fn) override;
    // Queues Fn; an exception it throws goes to the exception handler.
    void Post(std::function<void()> fn) override;

    // Where exceptions of posted tasks go; by default the standard error box.
    void SetExceptionHandler(std::function<void(const std::string&)> handler);

private:
    void Report(const std::string& message);

    std::function<void(const std::string&)> onException_;
};

// The application's standard error box for an exception's message.
void ShowExceptionMessage(const std::string& message);
