// Batch messages where no notification area exists: a fake notification
// service on a private session bus receives them; without a service the
// message box appears without stopping what follows.

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "support/FakePowerActions.h"
#include "support/TempDir.h"
#include "ui/common/DesktopNotifier.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/ModalForm.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/BatchHost.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/ShutdownWnd.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");

QMessageBox* BatchEndBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("dlgBatchEnd") && w->isVisible())
            return qobject_cast<QMessageBox*>(w);
    return nullptr;
}

} // namespace

// The desktop's notification service as far as the program uses it.
class TFakeNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    enum class TMode { Answer, ErrorReply, Silent };
    TMode Mode = TMode::Answer;
    struct TCall {
        QString App, Icon, Summary, Body;
        QStringList Actions;
        int Urgency = -1;
        int Timeout = 0;
    };
    QList<TCall> Calls;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        Q_UNUSED(replaces);
        Calls.append({app, icon, summary, body, actions, hints.value(QStringLiteral("urgency"), -1).toInt(), timeout});
        if (Mode == TMode::ErrorReply)
            sendErrorReply(QDBusError::Failed, QStringLiteral("refused"));
        else if (Mode == TMode::Silent)
            setDelayedReply(true); // never answered
        return static_cast<uint>(Calls.size());
    }
};

class NotifyTest : public QObject {
    Q_OBJECT

private:
    qvtest::TempDir dir_;
    QProcess bus_;
    QString address_;
    TFakeNotifications fake_;
    std::vector<std::string> powerCalls_;
    std::unique_ptr<TPowerActions> previousPower_;

    QDBusConnection Service() { return QDBusConnection::connectToBus(address_, QStringLiteral("qv-fake-service")); }
    QDBusConnection Client() { return QDBusConnection::connectToBus(address_, QStringLiteral("qv-client")); }

    void SetServicePresent(bool present)
    {
        QDBusConnection svc = Service();
        if (present)
            QVERIFY(svc.registerService(ServiceName));
        else
            svc.unregisterService(ServiceName);
        QTRY_COMPARE(Client().interface()->isServiceRegistered(ServiceName).value(), present);
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        // A private bus in a temporary folder; nothing reaches the user's desktop.
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                    QStringLiteral("--address=unix:dir=") + QString::fromStdString(dir_.dir())});
        if (!bus_.waitForStarted(5000))
            QSKIP("dbus-daemon is not installed");
        QTRY_VERIFY_WITH_TIMEOUT(bus_.canReadLine(), 5000);
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
        QVERIFY(Service().isConnected());
        QVERIFY(Client().isConnected());
        QVERIFY(Service().registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake_,
                                         QDBusConnection::ExportAllSlots));
        previousPower_ = SetPowerActions(std::make_unique<qvtest::TFakePower>(&powerCalls_));
    }

    void cleanupTestCase()
    {
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
        TfrmShutdown::SetDefaultTickMs(1000);
        if (previousPower_)
            SetPowerActions(std::move(previousPower_));
        QDBusConnection::disconnectFromBus(QStringLiteral("qv-fake-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("qv-client"));
        if (bus_.state() != QProcess::NotRunning) {
            bus_.terminate(); // the daemon this test started, by its own handle
            bus_.waitForFinished(5000);
        }
    }

    void init()
    {
        fake_.Calls.clear();
        fake_.Mode = TFakeNotifications::TMode::Answer;
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
        powerCalls_.clear();
    }

    void cleanup()
    {
        while (QMessageBox* box = BatchEndBox())
            box->close();
        QTest::qWait(0);
    }

    void serviceReceivesSummaryAndBody()
    {
        SetServicePresent(true);
        TDesktopNotifier notifier;
        notifier.SetConnection(Client());
        QSignalSpy delivered(&notifier, &TDesktopNotifier::Delivered);
        int fallbacks = 0;
        notifier.Notify(QStringLiteral("Quorvex Information"), QStringLiteral("Convertion complete! Überlang ✓"),
                        QStringLiteral("dialog-information"), TDesktopNotifier::TUrgency::Critical, 10000,
                        [&] { ++fallbacks; });
        QTRY_COMPARE(delivered.size(), 1);
        QCOMPARE(fake_.Calls.size(), 1);
        const auto& call = fake_.Calls.front();
        QCOMPARE(call.Summary, QStringLiteral("Quorvex Information"));
        QCOMPARE(call.Body, QStringLiteral("Convertion complete! Überlang ✓"));
        QCOMPARE(call.Icon, QStringLiteral("dialog-information"));
        QCOMPARE(call.Urgency, 2);
        QCOMPARE(call.Timeout, 10000);
        QCOMPARE(fallbacks, 0);
    }

    void fallbackWhenNobodyShowsIt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("no service on the bus") << "absent";
        QTest::newRow("the service answers with an error") << "error";
        QTest::newRow("the service never answers") << "silent";
        QTest::newRow("no bus at all") << "nobus";
    }

    void fallbackWhenNobodyShowsIt()
    {
        QFETCH(QString, how);
        SetServicePresent(how != "absent");
        if (how == "error")
            fake_.Mode = TFakeNotifications::TMode::ErrorReply;
        if (how == "silent")
            fake_.Mode = TFakeNotifications::TMode::Silent;
        TDesktopNotifier notifier;
        notifier.SetConnection(how == "nobus" ? QDBusConnection(QStringLiteral("qv-never-connected")) : Client());
        notifier.SetReplyTimeout(300);
        QSignalSpy failed(&notifier, &TDesktopNotifier::Failed);
        QSignalSpy delivered(&notifier, &TDesktopNotifier::Delivered);
        int fallbacks = 0;
        notifier.Notify("Title", "Body", "dialog-information", TDesktopNotifier::TUrgency::Normal, 0,
                        [&] { ++fallbacks; });
        // The call returns before anything is known: nothing ran inside it.
        QCOMPARE(fallbacks, 0);
        QTRY_COMPARE(fallbacks, 1);
        QCOMPARE(failed.size(), 1);
        QTest::qWait(400);
        QCOMPARE(fallbacks, 1);
        QCOMPARE(delivered.size(), 0);
        SetServicePresent(true);
    }

    // ---- the batch's host window ----

    void withoutTrayTheServiceGetsTheBatchMessages()
    {
        SetServicePresent(true);
        TfrmProgress::SetTrayAvailableOverride(false);
        QWidget owner;
        QSystemTrayIcon tray;
        TGuiBatchHost host(&owner, &tray);
        host.SetNotificationBus(Client());
        QSignalSpy delivered(&host.Notifier(), &TDesktopNotifier::Delivered);
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        host.AnnounceBatchErrors(IDS_MESSAGEBOX_Oops, IDS_MESSAGEBOX_AnErrorOccurred);
        QTRY_COMPARE(delivered.size(), 2);
        QCOMPARE(fake_.Calls.size(), 2);
        QCOMPARE(fake_.Calls[0].Body, QStringLiteral("Convertion complete!"));
        QCOMPARE(fake_.Calls[0].Summary, QStringLiteral("Quorvex Information"));
        QCOMPARE(fake_.Calls[1].Body, QStringLiteral("At least one error occurred."));
        QCOMPARE(fake_.Calls[1].Icon, QStringLiteral("dialog-warning"));
        QVERIFY(!tray.isVisible());
        QVERIFY(!BatchEndBox());
    }

    // The completion notice offers to open the output folder: an action of
    // the notification, or a button of the box when no service shows it.
    void completionNoticeOffersToOpenTheFolder()
    {
        TfrmProgress::SetTrayAvailableOverride(false);
        QStringList opened;
        SetUrlOpener([&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        QWidget owner;
        owner.show();
        QSystemTrayIcon tray;
        TGuiBatchHost host(&owner, &tray);
        host.SetNotificationBus(Client());
        host.OutputFolder = [] { return std::string("/videos/out put/"); };

        // A service with actions: the button is offered, and choosing it opens the folder.
        SetServicePresent(true);
        QSignalSpy delivered(&host.Notifier(), &TDesktopNotifier::Delivered);
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        QTRY_COMPARE(delivered.size(), 1);
        QCOMPARE(fake_.Calls.front().Actions, (QStringList{"open-folder", Q(IDS_MESSAGEBOX_OpenFolder)}));
        const uint id = delivered.front().front().toUInt();
        auto invoke = [&](uint which, const QString& key) {
            QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                             ServiceName, QStringLiteral("ActionInvoked"));
            signal << which << key;
            QVERIFY(Service().send(signal));
        };
        invoke(id + 100, "open-folder"); // another program's message
        invoke(id, "default");           // a click on the message itself
        QTest::qWait(200);
        QVERIFY(opened.isEmpty());
        invoke(id, "open-folder");
        QTRY_COMPARE(opened, QStringList{"/videos/out put/"});
        invoke(id, "open-folder"); // one choice per message
        QTest::qWait(200);
        QCOMPARE(opened.size(), 1);

        // No service: the box has the button.
        opened.clear();
        SetServicePresent(false);
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        QTRY_VERIFY(BatchEndBox());
        auto* button = BatchEndBox()->findChild<QPushButton*>(QStringLiteral("btnOpenFolder"));
        QVERIFY(button);
        QCOMPARE(button->text(), Q(IDS_MESSAGEBOX_OpenFolder));
        button->click();
        QCOMPARE(opened, QStringList{"/videos/out put/"});
        QTRY_VERIFY(!BatchEndBox());

        // Without a folder (no batch yet) nothing is offered.
        host.OutputFolder = nullptr;
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        QTRY_VERIFY(BatchEndBox());
        QVERIFY(!BatchEndBox()->findChild<QPushButton*>(QStringLiteral("btnOpenFolder")));
        SetUrlOpener({});
        SetServicePresent(true);
    }

    void withoutServiceABoxAppearsAndTheCountdownStillRuns()
    {
        SetServicePresent(false);
        TfrmProgress::SetTrayAvailableOverride(false);
        TfrmShutdown::SetDefaultTickMs(5);
        Options.ShutdownFlag = 1;
        QWidget owner;
        owner.show();
        QSystemTrayIcon tray;
        TGuiBatchHost host(&owner, &tray);
        host.SetNotificationBus(Client());
        QPointer<QMessageBox> seen;
        bool boxModal = true;
        // What the batch does after a batch without errors: the message, then the countdown.
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        DialogHook::QueueFormDriver([&](QDialog& form) {
            // The box comes while the countdown is open and does not stop it.
            QTRY_VERIFY(BatchEndBox());
            seen = BatchEndBox();
            boxModal = seen->isModal();
            form.exec();
        });
        const bool runOut = host.ShowShutdownCountdown();
        QVERIFY(runOut);
        QVERIFY(seen);
        QVERIFY(!boxModal);
        QVERIFY(seen->isVisible());
        QCOMPARE(seen->text(), QStringLiteral("Convertion complete!"));
        QCOMPARE(seen->parentWidget(), &owner);
        QVERIFY(fake_.Calls.isEmpty());
        // Closing it releases it.
        seen->close();
        QTRY_VERIFY(!seen);
        // With the windows minimised the box stands on its own, so that it is seen.
        owner.showMinimized();
        QTRY_VERIFY(owner.isMinimized());
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        QTRY_VERIFY(BatchEndBox());
        QCOMPARE(BatchEndBox()->parentWidget(), nullptr);
        BatchEndBox()->close();
        QTRY_VERIFY(!BatchEndBox());
        // An error summary without a service adds no second box: the batch shows its own.
        host.AnnounceBatchErrors(IDS_MESSAGEBOX_Oops, IDS_MESSAGEBOX_AnErrorOccurred);
        QTest::qWait(200);
        QVERIFY(!BatchEndBox());
        SetServicePresent(true);
    }

    void withTrayTheBalloonStays()
    {
        SetServicePresent(true);
        TfrmProgress::SetTrayAvailableOverride(true);
        QWidget owner;
        QSystemTrayIcon tray;
        TGuiBatchHost host(&owner, &tray);
        host.SetNotificationBus(Client());
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        host.AnnounceBatchErrors(IDS_MESSAGEBOX_Oops, IDS_MESSAGEBOX_AnErrorOccurred);
        QTest::qWait(200);
        QVERIFY(fake_.Calls.isEmpty());
        QVERIFY(!BatchEndBox());

        // A click on the completion balloon opens the output folder, once per
        // click however many balloons came before.
        QStringList opened;
        SetUrlOpener([&](const QUrl& url) {
            opened << url.toLocalFile();
            return true;
        });
        host.OutputFolder = [] { return std::string("/videos/out/"); };
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        host.ShowTrayBalloon("Quorvex Information", IDS_MESSAGEBOX_TrayConvertComplete, TMsgIcon::Information, 10000);
        emit tray.messageClicked();
        SetUrlOpener({});
        QCOMPARE(opened, QStringList{"/videos/out/"});
    }
};

QTEST_MAIN(NotifyTest)
#include "notify_test.moc"
