#include "ui/common/QtDispatcher.h"

#include "lang/MultiLanguages.h"
#include "ui/common/MessageDialogs.h"

#include <QApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>

TQtDispatcher::TQtDispatcher(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("dispatcher"));
}

void TQtDispatcher::Invoke(std::function<void()> fn)
{
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    std::exception_ptr failure;
    // Blocks the calling thread until the user-interface thread has run Fn,
    // including any modal dialog Fn shows.
    QMetaObject::invokeMethod(
        this,
        [&fn, &failure] {
            try {
                fn();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

void TQtDispatcher::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(
        this,
        [this, fn = std::move(fn)] {
            try {
                fn();
            } catch (const std::exception& e) {
                Report(e.what());
            } catch (...) {
                Report("Unknown error");
            }
        },
        Qt::QueuedConnection);
}

void TQtDispatcher::SetExceptionHandler(std::function<void(const std::string&)> handler)
{
    onException_ = std::move(handler);
}

void TQtDispatcher::Report(const std::string& message)
{
    if (onException_)
        onException_(message);
    else
        ShowExceptionMessage(message);
}

void ShowExceptionMessage(const std::string& message)
{
    ShowMessageBox(QApplication::activeWindow(), message, IDS_MESSAGEBOX_Error, TMsgIcon::Error);
}
