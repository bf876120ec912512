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

void TDesktopNotifier::ListenForActions(QDBusConnection& bus)
{
    if (listening_)
        return;
    listening_ = bus.connect(QString(), QString::fromLatin1(Path), QString::fromLatin1(Interface),
                             QStringLiteral("ActionInvoked"), this, SLOT(OnActionInvoked(uint, QString)));
    bus.connect(QString(), QString::fromLatin1(Path), QString::fromLatin1(Interface),
                QStringLiteral("NotificationClosed"), this, SLOT(OnNotificationClosed(uint, uint)));
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& key)
{
    auto it = actionHandlers_.find(id);
    // Only the actions offered count ("default", a click on the message, does not).
    if (it == actionHandlers_.end() || !it->second.Keys.contains(key))
        return;
    // One choice per message, also from a service that keeps it open.
    const auto handler = std::move(it->second.Handler);
    actionHandlers_.erase(it);
    if (handler)
        handler(key);
}

void TDesktopNotifier::OnNotificationClosed(uint id, uint reason)
{
    (void)reason;
    actionHandlers_.erase(id);
}

void TDesktopNotifier::Notify(const QString& summary, const QString& body, const QString& iconName,
                              TUrgency urgency, int displayMs, std::function<void()> fallback,
                              const QStringList& actions, std::function<void(const QString& key)> onAction)
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
    if (!actions.isEmpty() && onAction)
        ListenForActions(bus);
    call << appName << uint(0) << iconName << summary << body << actions << hints
         << (displayMs > 0 ? displayMs : -1);
    // A service that is not there makes the bus answer with an error at once;
    // one that hangs is given up after the time-out.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeoutMs_), this);
    const bool withActions = !actions.isEmpty() && onAction;
    QStringList keys;
    for (qsizetype i = 0; i < actions.size(); i += 2)
        keys << actions[i];
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, fallback, withActions, keys, onAction](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    Fail(reply.error().name() + QStringLiteral(": ") + reply.error().message(), fallback);
                    return;
                }
                if (withActions)
                    actionHandlers_[reply.value()] = {keys, onAction};
                emit Delivered(reply.value());
            });
}
