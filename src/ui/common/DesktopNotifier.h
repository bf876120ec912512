#pragma once

// Messages for a user who may be away from the window, shown by the desktop's
// notification service (org.freedesktop.Notifications on the session bus).
// The call never waits: the reply is taken from the event loop. When there is
// no bus, no service, an error reply or no reply in time, the fallback runs
// instead, once, from the event loop.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

class TDesktopNotifier : public QObject {
    Q_OBJECT

public:
    enum class TUrgency { Low = 0, Normal = 1, Critical = 2 };

    explicit TDesktopNotifier(QObject* parent = nullptr);

    // Talk over this connection instead of the session bus (tests use a private bus).
    void SetConnection(const QDBusConnection& connection) { connection_ = connection; }
    // How long to wait for the service's answer before the fallback runs.
    void SetReplyTimeout(int ms) { replyTimeoutMs_ = ms; }

    // Asks the service to show Summary and Body for DisplayMs (0 = as the
    // desktop likes). Returns at once; Fallback runs when nobody shows it.
    // Actions are pairs of a key and a button text; a service that supports
    // actions shows the buttons, and OnAction runs with the key of the one
    // the user chose (a service without actions shows the message alone).
    void Notify(const QString& summary, const QString& body, const QString& iconName, TUrgency urgency,
                int displayMs, std::function<void()> fallback, const QStringList& actions = {},
                std::function<void(const QString& key)> onAction = {});

signals:
    // The service took the message and gave it this id.
    void Delivered(uint id);
    // Nobody showed the message; the fallback has run.
    void Failed(const QString& reason);

private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnNotificationClosed(uint id, uint reason);

private:
    void Fail(const QString& reason, const std::function<void()>& fallback);
    void ListenForActions(QDBusConnection& bus);

    std::optional<QDBusConnection> connection_;
    int replyTimeoutMs_ = 5000;
    bool listening_ = false;
    // What to do with the actions of the shown messages that offer some.
    struct TActions {
        QStringList Keys;
        std::function<void(const QString&)> Handler;
    };
    std::map<uint, TActions> actionHandlers_;
};
