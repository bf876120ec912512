#include "ui/common/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

namespace {

const char* const Service = "org.freedesktop.Notifications";
const char* const Path = "/org/freedesktop/Notifications";
const char* const Interface = "org.freedesktop.Notifications";

} // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

void TDesktopNotifier::Fail(const QString& reason, const std::function<void()>& fallback)
{
    if (fallback)
        fallback();
    emit Failed(reason);
}

void TDesktopNotifier::Notify(const QString& summary, const QString& body, const QString& iconName,
                              TUrgency urgency, int displayMs, std::function<void()> fallback)
{
    QDBusConnection bus = connection_ ? *connection_ : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Like every other outcome, the fallback runs from the event loop, never inside this call.
        QPointer<TDesktopNotifier> self(this);
        QTimer::singleShot(0, this, [self, fallback] {
            if (self)
                self->Fail(QStringLiteral("no session bus"), fallback);
        });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(Service), QString::fromLatin1(Path),
                                                       QString::fromLatin1(Interface), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency)));
    const QString desktopEntry = QGuiApplication::desktopFileName();
    if (!desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    const QString appName =
        QGuiApplication::applicationDisplayName().isEmpty() ? QGuiApplication::applicationName()
                                                            : QGuiApplication::applicationDisplayName();
    call << appName << uint(0) << iconName << summary << body << QStringList() << hints
         << (displayMs > 0 ? displayMs : -1);
    // A service that is not there makes the bus answer with an error at once;
    // one that hangs is given up after the time-out.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeoutMs_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, fallback](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            Fail(reply.error().name() + QStringLiteral(": ") + reply.error().message(), fallback);
        else
            emit Delivered(reply.value());
    });
}
