#include "ui/main/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
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
    // The reply's descriptor is closed with the reply object; keep our own
    // copy, closed on exec so that no encoder holds the lock.
    fd_ = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    return fd_ >= 0;
}

void TSleepInhibitor::Release()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}
