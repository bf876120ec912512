#pragma once

// Messages for a user who may be away from the window, shown by the desktop's
// notification service (org.freedesktop.Notifications on the session bus).
// The call never waits: the reply is taken from the event loop. When there is
// no bus, no service, an error reply or no reply in time, the fallback runs
// instead, once, from the event loop.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
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
    void Notify(const QString& summary, const QString& body, const QString& iconName, TUrgency urgency,
                int displayMs, std::function<void()> fallback);

signals:
    // The service took the message and gave it this id.
    void Delivered(uint id);
    // Nobody showed the message; the fallback has run.
    void Failed(const QString& reason);

private:
    void Fail(const QString& reason, const std::function<void()>& fallback);

    std::optional<QDBusConnection> connection_;
    int replyTimeoutMs_ = 5000;
};
