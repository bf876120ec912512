// The progress window (stop question, check boxes, tray, modal loop) and the
// shutdown countdown with fake power actions.

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "platform/PowerActions.h"
#include "ui/common/Artwork.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/BatchHost.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/ShutdownWnd.h"

#include "support/WidgetLookup.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QtTest>

namespace {

// Records what would have happened; never reaches the system.
class TFakePowerActions : public TPowerActions {
public:
    std::vector<std::string>* log;
    explicit TFakePowerActions(std::vector<std::string>* l) : log(l) {}
    bool SetPrivilege(const std::string&, bool enable) override
    {
        log->push_back(enable ? "privilege on" : "privilege off");
        return true;
    }
    std::string EndProgram() override
    {
        log->push_back("end program");
        return {};
    }
    std::string PowerOff() override
    {
        log->push_back("power off");
        return {};
    }
    std::string LogOff() override
    {
        log->push_back("log off");
        return {};
    }
    std::string Reboot() override
    {
        log->push_back("reboot");
        return {};
    }
    std::string Hibernate() override
    {
        log->push_back("hibernate");
        return {};
    }
    std::string Suspend() override
    {
        log->push_back("suspend");
        return {};
    }
    std::string CanPerform(int) override { return "yes"; }
};

using qvtest::Child;

QString LabelText(QWidget& w, const char* name)
{
    return Child<QLabel>(w, name)->text();
}

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT

    std::vector<std::string> powerLog_;
    std::unique_ptr<TPowerActions> previousPower_;

private slots:
    void initTestCase()
    {
        previousPower_ = SetPowerActions(std::make_unique<TFakePowerActions>(&powerLog_));
    }

    void cleanupTestCase()
    {
        SetPowerActions(std::move(previousPower_));
        TfrmShutdown::SetDefaultTickMs(1000);
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
        Options = TOptions();
        powerLog_.clear();
    }

    // ---- the stop question ----

    void stopQuestion_data()
    {
        QTest::addColumn<QList<int>>("answers"); // one per press of Cancel
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("stopWhenDone");
        QTest::addColumn<bool>("labelShown");
        QTest::newRow("stop now closes with Cancel") << QList<int>{mrYes} << true << false << false;
        QTest::newRow("when done keeps it open and shows the label") << QList<int>{mrNo} << false << true << true;
        QTest::newRow("when done, then withdrawn with Cancel") << QList<int>{mrNo, mrCancel} << false << false << false;
        QTest::newRow("closing the question is Cancel") << QList<int>{mrCancel} << false << false << false;
        QTest::newRow("when done, then stop now") << QList<int>{mrNo, mrYes} << true << true << true;
    }

    void stopQuestion()
    {
        QFETCH(QList<int>, answers);
        QFETCH(bool, closed);
        QFETCH(bool, stopWhenDone);
        QFETCH(bool, labelShown);
        TfrmProgress form;
        form.show();
        auto* label = Child<QLabel>(form, "lblStopWhenDone");
        QVERIFY(!label->isVisibleTo(&form));
        for (int a : answers) {
            DialogHook::QueueAnswer(a);
            QTest::mouseClick(Child<QPushButton>(form, "btnCancel"), Qt::LeftButton);
        }
        QCOMPARE(DialogHook::Shown().size(), size_t(answers.size()));
        const TShownDialog& q = DialogHook::Shown().front();
        QCOMPARE(q.text, IDS_CONVERTING_StopEncoding);
        QCOMPARE(q.title, IDS_CONVERTING_Question);
        QCOMPARE(q.icon, TMsgIcon::Confirmation);
        QCOMPARE(q.captions,
                 (std::vector<std::string>{IDS_CONVERTING_StopNow, IDS_CONVERTING_Whendone, IDS_CONVERTING_Cancel}));
        QCOMPARE(!form.isVisible(), closed);
        if (closed)
            QCOMPARE(form.result(), int(mrCancel));
        QCOMPARE(Options.StopWhenDone, stopWhenDone);
        QCOMPARE(label->isVisibleTo(&form), labelShown);
    }

    void closeBoxAndEscapeAskToo()
    {
        TfrmProgress form;
        form.show();
        DialogHook::QueueAnswer(mrCancel);
        QVERIFY(!form.close()); // refused
        DialogHook::QueueAnswer(mrCancel);
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(DialogHook::Shown().size(), size_t(2));
        QVERIFY(form.isVisible());
        DialogHook::QueueAnswer(mrYes);
        QVERIFY(form.close());
        QCOMPARE(form.result(), int(mrCancel));
    }

    void finishedWindowClosesWithoutAsking()
    {
        TfrmProgress form;
        form.show();
        form.MarkFinished();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(mrOk));
        QVERIFY(form.RequestClose());
        QVERIFY(DialogHook::Shown().empty());
    }

    void batchEndingWhileQuestionIsOpenClosesWithCancel()
    {
        TfrmProgress form;
        form.show();
        // The batch finishes while the user still looks at the question, who
        // then answers "When done".
        DialogHook::QueueAnswer([&form] {
            form.MarkFinished();
            return int(mrNo);
        });
        QVERIFY(form.RequestClose());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(mrCancel));
    }

    // ---- check boxes ----

    void checkBoxesStartFromOptionsAndWriteAtOnce_data()
    {
        QTest::addColumn<bool>("deleteSource");
        QTest::addColumn<bool>("shutdown");
        QTest::newRow("both off") << false << false;
        QTest::newRow("both on") << true << true;
        QTest::newRow("mixed") << true << false;
    }

    void checkBoxesStartFromOptionsAndWriteAtOnce()
    {
        QFETCH(bool, deleteSource);
        QFETCH(bool, shutdown);
        Options.DeleteFileAfterProcessing = deleteSource;
        Options.ShutdownWindowsWhenDone = shutdown;
        TfrmProgress form;
        form.show();
        auto* del = Child<QCheckBox>(form, "chkDelSource");
        auto* shut = Child<QCheckBox>(form, "chkShutdown");
        QCOMPARE(del->isChecked(), deleteSource);
        QCOMPARE(shut->isChecked(), shutdown);
        QTest::mouseClick(del, Qt::LeftButton, {}, QPoint(4, del->height() / 2));
        QCOMPARE(Options.DeleteFileAfterProcessing, !deleteSource);
        QCOMPARE(Options.ShutdownWindowsWhenDone, shutdown);
        QTest::mouseClick(shut, Qt::LeftButton, {}, QPoint(4, shut->height() / 2));
        QCOMPARE(Options.ShutdownWindowsWhenDone, !shutdown);
        QCOMPARE(Options.DeleteFileAfterProcessing, !deleteSource);
    }

    // ---- displays ----

    void creationAndResetTexts()
    {
        TfrmProgress form;
        QCOMPARE(form.windowTitle(), Q(IDS_CONVERTING_FORM_Caption));
        QCOMPARE(LabelText(form, "lblCovnerting"), Q(IDS_CONVERTING_LABEL_Converting));
        QVERIFY(!form.AnimationRunning());
        form.SetLabel(TProgressLabel::Status, IDS_CONVERTING_Status + "42%");
        form.SetLabel(TProgressLabel::BatchElapsed, "0:01:02");
        form.SetLabel(TProgressLabel::Working, "Working on file 1 of 2: a.avi");
        form.SetLabel(TProgressLabel::Output, "Output file: a.mp4");
        form.SetStatusProgress(150);
        form.SetBatchProgress(-3);
        form.StartAnimation();
        QVERIFY(form.AnimationRunning());
        QCOMPARE(Child<QProgressBar>(form, "prgStatus")->value(), 100);
        QCOMPARE(Child<QProgressBar>(form, "prgBatch")->value(), 0);
        QCOMPARE(LabelText(form, "lblBatchElapsed"), QString("0:01:02"));
        QVERIFY(Child<QLabel>(form, "lblWorking")->toolTip().endsWith("a.avi"));

        form.ResetProgress();
        const QString zeroStatus = Q(IDS_CONVERTING_Status + "0%");
        const std::pair<const char*, QString> expected[] = {
            {"lblStatusRemaining", "0:00:00"}, {"lblBatchRemaining", "0:00:00"},
            {"lblBatchElapsed", "0:00:00"},    {"lblBatchEstimated", "0:00:00"},
            {"lblStatus", zeroStatus},         {"lblBatch", zeroStatus},
            {"lblWorking", Q(IDS_CONVERTING_PleaseWait)}, {"lblOutput", ""},
            {"lblCovnerting", Q(IDS_CONVERTING_Preparing)},
        };
        for (const auto& [name, text] : expected)
            QVERIFY2(LabelText(form, name) == text, name);
        QVERIFY(!form.AnimationRunning());
        QVERIFY(!Child<QWidget>(form, "anmConvert")->isVisibleTo(&form));
    }

    // Several files at once: one line per running file takes the place of
    // the single file's figures, and lines come and go with the files.
    void runningFilesHaveALineEach()
    {
        TfrmProgress form;
        form.show();
        const int height = form.height();
        const char* single[] = {"lblStatusRemainingSingle", "lblStatusRemaining", "lblStatus", "prgStatus",
                                "lblOutput"};
        auto visibleLines = [&form] {
            // Tool tip of the name, percent text and bar as "40% 40".
            std::vector<std::pair<QString, QString>> lines;
            for (QWidget* row : form.findChildren<QWidget*>("pnlRunningFile")) {
                if (!row->isVisibleTo(&form))
                    continue;
                lines.emplace_back(row->findChild<QLabel*>("lblRunningName")->toolTip(),
                                   row->findChild<QLabel*>("lblRunningPercent")->text() + " " +
                                       QString::number(row->findChild<QProgressBar*>("prgRunning")->value()));
            }
            return lines;
        };

        form.SetRunningFiles({{"first clip.avi", 40}, {"second.wav", 175}});
        QVERIFY(Child<QWidget>(form, "pnlRunning")->isVisibleTo(&form));
        for (const char* name : single)
            QVERIFY2(!Child<QWidget>(form, name)->isVisibleTo(&form), name);
        using Lines = std::vector<std::pair<QString, QString>>;
        QCOMPARE(visibleLines(), (Lines{{"first clip.avi", "40% 40"}, {"second.wav", "100% 100"}}));

        form.SetRunningFiles({{"second.wav", 90}});
        QCOMPARE(visibleLines(), (Lines{{"second.wav", "90% 90"}}));

        // Many files make the window taller instead of squeezing the lines.
        std::vector<TRunningFile> many;
        for (int i = 0; i < 8; ++i)
            many.push_back({"file " + std::to_string(i) + ".mp3", i * 10});
        form.SetRunningFiles(many);
        QCOMPARE(visibleLines().size(), size_t(8));
        QVERIFY(form.height() > height);
        auto* scroll = Child<QScrollArea>(form, "scrRunning");
        QCoreApplication::processEvents();
        QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);

        // Beyond eight, the lines scroll and the window grows no more.
        const int eightHigh = form.height();
        for (int i = 8; i < 64; ++i)
            many.push_back({"file " + std::to_string(i) + ".mp3", 50});
        form.SetRunningFiles(many);
        QCOMPARE(visibleLines().size(), size_t(64));
        QCOMPARE(form.height(), eightHigh);
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        form.SetRunningFiles({{"a.avi", 1}, {"b.avi", 2}});
        QCOMPARE(form.height(), eightHigh);

        // The end of the batch brings the single file's figures back.
        form.SetRunningFiles({});
        QVERIFY(!Child<QWidget>(form, "pnlRunning")->isVisibleTo(&form));
        for (const char* name : single)
            QVERIFY2(Child<QWidget>(form, name)->isVisibleTo(&form), name);
        form.SetRunningFiles({{"a.avi", 1}, {"b.avi", 2}});
        form.ResetProgress();
        QVERIFY(visibleLines().empty());
        QVERIFY(Child<QWidget>(form, "prgStatus")->isVisibleTo(&form));
    }

    // ---- the modal loop ----

    void showModalEndsWithTheBatch_data()
    {
        QTest::addColumn<int>("how"); // 0 finished before, 1 finished later, 2 stop now, 3 posted work then finished
        QTest::addColumn<int>("expected");
        QTest::newRow("finished before the loop starts") << 0 << int(mrOk);
        QTest::newRow("finished inside the loop") << 1 << int(mrOk);
        QTest::newRow("stop now") << 2 << int(mrCancel);
        QTest::newRow("when done, then finished") << 3 << int(mrOk);
    }

    void showModalEndsWithTheBatch()
    {
        QFETCH(int, how);
        QFETCH(int, expected);
        TfrmProgress form;
        if (how == 0)
            form.MarkFinished();
        if (how == 1)
            QTimer::singleShot(10, &form, [&form] { form.MarkFinished(); });
        if (how == 2) {
            DialogHook::QueueAnswer(mrYes);
            QTimer::singleShot(10, &form, [&form] { Child<QPushButton>(form, "btnCancel")->click(); });
        }
        if (how == 3) {
            DialogHook::QueueAnswer(mrNo);
            QTimer::singleShot(10, &form, [&form] {
                Child<QPushButton>(form, "btnCancel")->click();
                QTimer::singleShot(10, &form, [&form] { form.MarkFinished(); });
            });
        }
        QCOMPARE(form.ShowModal(), expected);
        QVERIFY(!form.isVisible());
    }

    void sendToTrayWithoutNotificationAreaMinimises()
    {
        TfrmProgress::SetTrayAvailableOverride(false);
        QWidget mainWindow;
        mainWindow.show();
        TfrmProgress form(&mainWindow);
        form.show();
        QCOMPARE(Child<QPushButton>(form, "btnTray")->text(), Q(IDS_CONVERTING_BUTTON_Minimise));
        QTest::mouseClick(Child<QPushButton>(form, "btnTray"), Qt::LeftButton);
        QVERIFY(!form.InTray());
        QVERIFY(form.isVisible());
        QVERIFY(mainWindow.isVisible());
        QVERIFY(form.isMinimized());
        QVERIFY(mainWindow.isMinimized());
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }

    void sendToTrayHidesWindowsAndKeepsTheBatchRunning()
    {
        TfrmProgress::SetTrayAvailableOverride(true);
        QWidget mainWindow;
        mainWindow.show();
        QSystemTrayIcon tray(ProgramIcon());
        TfrmProgress form(&mainWindow);
        form.SetTrayIcon(&tray);
        bool hiddenWhileRunning = false;
        bool restored = false;
        QTimer::singleShot(10, &form, [&] {
            QTest::mouseClick(Child<QPushButton>(form, "btnTray"), Qt::LeftButton);
            // Still inside the batch's loop, with both windows hidden.
            QTimer::singleShot(20, &form, [&] {
                hiddenWhileRunning = form.InTray() && !form.isVisible() && !mainWindow.isVisible() && tray.isVisible();
                form.SetTrayHint("a.avi: 40%");
                form.RestoreFromTray();
                restored = form.isVisible() && mainWindow.isVisible() && !tray.isVisible();
                form.MarkFinished();
            });
        });
        QCOMPARE(form.ShowModal(), int(mrOk));
        QVERIFY(hiddenWhileRunning);
        QVERIFY(restored);
        QCOMPARE(tray.toolTip(), QString("a.avi: 40%"));
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }

    void batchEndingInTrayWithOwnIconBringsMainWindowBack()
    {
        // Without the main window's icon the progress window uses its own,
        // which goes away with it: the main window must not stay hidden.
        TfrmProgress::SetTrayAvailableOverride(true);
        QWidget mainWindow;
        mainWindow.show();
        TfrmProgress form(&mainWindow);
        bool hidden = false;
        QTimer::singleShot(10, &form, [&] {
            form.SendToTray();
            hidden = !mainWindow.isVisible() && !form.isVisible();
            form.MarkFinished();
        });
        QCOMPARE(form.ShowModal(), int(mrOk));
        QVERIFY(hidden);
        QVERIFY(mainWindow.isVisible());
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }

    // ---- shutdown countdown ----

    void countdownActsAfter31Ticks()
    {
        Options.ShutdownFlag = 5;
        TfrmShutdown form(nullptr, 1);
        // It names the action, and its narrow window still shows its whole title.
        QCOMPARE(LabelText(form, "lblAction"), Q(IDS_SETTINGS_COMBOBOX_Suspend));
        QFont bold = QApplication::font();
        bold.setBold(true);
        QVERIFY(form.width() >= QFontMetrics(bold).horizontalAdvance(form.windowTitle() + " \u2014 "
                                                                      + qApp->applicationDisplayName()) + 100);
        QSignalSpy ticks(&form, &TfrmShutdown::ticked);
        QCOMPARE(LabelText(form, "lblTimeOut"), Q(FormatText(IDS_SHUTDOWN_LABEL_TimeLeft, {30})));
        QStringList shown;
        connect(&form, &TfrmShutdown::ticked, this,
                [&] { shown << LabelText(form, "lblTimeOut"); });
        QCOMPARE(form.exec(), int(mrOk));
        QCOMPARE(ticks.count(), 31);
        QCOMPARE(shown.size(), 31);
        QCOMPARE(shown[29], Q(FormatText(IDS_SHUTDOWN_LABEL_TimeLeft, {0}))); // 30th tick shows 0
        QCOMPARE(shown[30], shown[29]);                                     // the 31st acts
        QVERIFY(!form.tmrShutdown->isActive());
    }

    void countdownThroughTheBatchHost_data()
    {
        QTest::addColumn<int>("cancelAt"); // seconds left when Cancel is pressed; -1 never
        QTest::addColumn<int>("flag");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("runs out: power off") << -1 << 1 << QStringList{"power off"};
        QTest::newRow("runs out: suspend") << -1 << 5 << QStringList{"suspend"};
        QTest::newRow("runs out: close the program") << -1 << 0 << QStringList{"end program"};
        QTest::newRow("cancelled with three seconds left") << 3 << 1 << QStringList{};
        QTest::newRow("cancelled at once") << 30 << 3 << QStringList{};
    }

    void countdownThroughTheBatchHost()
    {
        QFETCH(int, cancelAt);
        QFETCH(int, flag);
        QFETCH(QStringList, actions);
        TfrmShutdown::SetDefaultTickMs(1);
        Options.ShutdownFlag = static_cast<uint8_t>(flag);
        int ticks = 0;
        DialogHook::QueueFormDriver([&](QDialog& d) {
            auto& form = static_cast<TfrmShutdown&>(d);
            connect(&form, &TfrmShutdown::ticked, &form, [&](int left) {
                ++ticks;
                if (left == cancelAt)
                    form.btnCancel->click();
            });
            if (cancelAt == 30)
                form.btnCancel->click();
            else
                form.exec();
        });
        TGuiBatchHost host(nullptr, nullptr);
        // What the batch does after a batch without errors.
        if (host.ShowShutdownCountdown())
            PerformShutdownAction(Options.ShutdownFlag);
        QStringList done; // the actions performed (privilege switching aside)
        for (const auto& s : powerLog_)
            if (s.rfind("privilege", 0) != 0)
                done << Q(s);
        QCOMPARE(done, actions);
        if (cancelAt < 0)
            QCOMPARE(ticks, 31);
        else
            QCOMPARE(ticks, 30 - cancelAt);
        TfrmShutdown::SetDefaultTickMs(1000);
    }

    void hostMakesProgressWindowOverOwner()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 800, 600);
        TGuiBatchHost host(&mainWindow, nullptr);
        std::unique_ptr<TProgressView> view = host.CreateProgressView();
        auto* form = dynamic_cast<TfrmProgress*>(view.get());
        QVERIFY(form);
        QCOMPARE(form->parentWidget(), &mainWindow);
        view->MarkFinished();
        QCOMPARE(view->ShowModal(), int(mrOk));
    }
};

QTEST_MAIN(ProgressTest)
#include "progress_test.moc"
