#include "ui/main/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

#include <unistd.h>

TSleepInhibitor::~TSleepInhibitor()
{
    Release();
}

bool TSleepInhibitor::Acquire(const QString& who, const QString& why)
{
    if (fd_ >= 0)
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return false;
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid())
        return false;
    manager.setTimeout(3000);
    QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"), who, why, QStringLiteral("block"));
    if (!reply.isValid() || !reply.value().isValid())
        return false;
    // The reply's descriptor is closed with the reply object; keep our own copy.
    fd_ = ::dup(reply.value().fileDescriptor());
    return fd_ >= 0;
}

void TSleepInhibitor::Release()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}
