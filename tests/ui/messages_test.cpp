// The choice dialog, plain message boxes, the dialog test hook, the busy
// cursor, the folder picker hook and the Qt main-thread dispatcher.

#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Busy.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtDispatcher.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <stdexcept>
#include <thread>

Q_DECLARE_METATYPE(std::vector<TMsgButton>)

namespace {

QStringList ToList(const std::vector<std::string>& v)
{
    QStringList out;
    for (const auto& s : v)
        out << Q(s);
    return out;
}

std::vector<std::string> FromList(const QStringList& l)
{
    std::vector<std::string> out;
    for (const auto& s : l)
        out.push_back(S(s));
    return out;
}

QDialog* FindOpenDialog(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

} // namespace

class MessagesTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
    }

    void buttonsShareWidthAndAreCentred_data()
    {
        QTest::addColumn<std::vector<TMsgButton>>("buttons");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("short captions keep the minimum width")
            << std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::No} << QStringList{"Yes", "No"};
        QTest::newRow("one long caption widens every button")
            << std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel}
            << QStringList{"Stop encoding right now, please", "When done", "Cancel"};
        QTest::newRow("four buttons of the overwrite question")
            << std::vector<TMsgButton>{TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel, TMsgButton::YesToAll}
            << QStringList{"Yes", "No", "Cancel", "Yes To All, also for every later file"};
        QTest::newRow("single button")
            << std::vector<TMsgButton>{TMsgButton::OK} << QStringList{"A rather long acknowledgement caption"};
    }

    // A short message under a long title: the window is wide enough for the
    // whole title, whether the choice dialog or a plain box shows it.
    void longTitlesFit()
    {
        const QString title = "Oops, something wasn't as expected!";
        QFont bold = QApplication::font();
        bold.setBold(true);
        // As the title bar shows it, with the program's name Qt appends.
        const int needed = QFontMetrics(bold).horizontalAdvance(title + " \u2014 " + qApp->applicationDisplayName()) + 100;
        TLocalizedMessageDialog dialog(nullptr, "x", title.toStdString(), TMsgIcon::Warning, {TMsgButton::OK},
                                       {"OK"});
        QVERIFY2(dialog.width() >= needed, qPrintable(QString::number(dialog.width())));
        QWidget owner;
        ShowNonModalBox(&owner, "dlgLongTitle", title.toStdString(), "At least one error occurred.", TMsgIcon::Warning);
        auto* box = owner.findChild<QMessageBox*>("dlgLongTitle");
        QVERIFY(box);
        QVERIFY2(box->width() >= needed, qPrintable(QString::number(box->width())));
        box->close();
    }

    void buttonsShareWidthAndAreCentred()
    {
        QFETCH(std::vector<TMsgButton>, buttons);
        QFETCH(QStringList, captions);
        TLocalizedMessageDialog dialog(nullptr, "Some question text", "Title", TMsgIcon::Confirmation, buttons,
                                       FromList(captions));
        const auto& made = dialog.Buttons();
        QCOMPARE(static_cast<int>(made.size()), captions.size());

        const QFontMetrics fm(dialog.font());
        int widest = 0;
        for (const QString& c : captions)
            widest = std::max(widest, fm.horizontalAdvance(c));
        const int expected = std::max(widest + 16, 88);
        QCOMPARE(dialog.ButtonWidth(), expected);

        const int n = static_cast<int>(made.size());
        const int d = dialog.width();
        QVERIFY(d >= (expected + 12) * n + 32);
        for (int i = 0; i < n; ++i) {
            QCOMPARE(made[i]->text(), captions[i]);
            QCOMPARE(made[i]->width(), expected);
            QCOMPARE(made[i]->x(), (d - (expected + 12) * n) / 2 + (expected + 12) * i);
            QCOMPARE(made[i]->y(), made[0]->y());
        }
        // Centred: the gap left of the row equals the gap right of it less
        // the trailing spacing (within one pixel of rounding).
        const int leftGap = made.front()->x();
        const int rightGap = d - (made.back()->x() + made.back()->width());
        QVERIFY2(std::abs(leftGap - (rightGap - 12)) <= 1,
                 qPrintable(QString("left %1 right %2").arg(leftGap).arg(rightGap)));
    }

    void captionsFollowStandardButtonOrder()
    {
        // Buttons given out of order still appear (and take captions) in the
        // standard order.
        TLocalizedMessageDialog dialog(nullptr, "t", "T", TMsgIcon::Warning,
                                       {TMsgButton::YesToAll, TMsgButton::Cancel, TMsgButton::Yes},
                                       {"first", "second", "third"});
        const auto& b = dialog.Buttons();
        QCOMPARE(b.size(), size_t(3));
        QCOMPARE(b[0]->objectName(), QString("btnYes"));
        QCOMPARE(b[0]->text(), QString("first"));
        QCOMPARE(b[1]->objectName(), QString("btnCancel"));
        QCOMPARE(b[2]->objectName(), QString("btnYesToAll"));
        QCOMPARE(b[2]->text(), QString("third"));
    }

    void buttonResults_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("expected");
        QTest::newRow("Yes") << "btnYes" << 6;
        QTest::newRow("No") << "btnNo" << 7;
        QTest::newRow("Cancel") << "btnCancel" << 2;
        QTest::newRow("Yes To All") << "btnYesToAll" << 10;
        QTest::newRow("OK") << "btnOK" << 1;
        QTest::newRow("closing the dialog") << "" << 2;
    }

    void buttonResults()
    {
        QFETCH(QString, button);
        QFETCH(int, expected);
        // The answer presses the real button of the built dialog.
        DialogHook::QueueAnswer([button]() -> int {
            QDialog* dialog = FindOpenDialog("dlgLocalizedMessage");
            if (!dialog)
                return -1;
            if (button.isEmpty())
                dialog->reject();
            else
                dialog->findChild<QPushButton*>(button)->click();
            return dialog->result();
        });
        const int r = ShowLocalizedMessage(
            nullptr, "File \"x\" already exists.\r\n\r\nAre you sure?", "Overwrite file?", TMsgIcon::Confirmation,
            {TMsgButton::Yes, TMsgButton::No, TMsgButton::OK, TMsgButton::Cancel, TMsgButton::YesToAll},
            {"Yes", "No", "OK", "Cancel", "Yes To All"});
        QCOMPARE(r, expected);
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
        const TShownDialog& shown = DialogHook::Shown().front();
        QCOMPARE(shown.kind, TShownDialog::Localized);
        QCOMPARE(Q(shown.title), QString("Overwrite file?"));
        QCOMPARE(ToList(shown.captions), (QStringList{"Yes", "No", "OK", "Cancel", "Yes To All"}));
        QCOMPARE(shown.result, expected);
    }

    void realModalLoopReturnsPressedButton()
    {
        DialogHook::SetTestMode(false);
        QTimer::singleShot(0, [] {
            if (QDialog* d = FindOpenDialog("dlgLocalizedMessage"))
                d->findChild<QPushButton*>("btnNo")->click();
        });
        const int r = ShowLocalizedMessage(nullptr, "Stop?", "Question", TMsgIcon::Confirmation,
                                           {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel},
                                           {"Stop now", "When done", "Cancel"});
        QCOMPARE(r, int(mrNo));
        QVERIFY(!DialogHook::Last()->answeredByTest);
    }

    // Every question of the program closed with Escape or the close box:
    // Cancel where it has Cancel, else No; never Yes. An OK box closed is OK.
    void closingAQuestion_data()
    {
        QTest::addColumn<bool>("plain"); // a plain message box instead of the choice dialog
        QTest::addColumn<std::vector<TMsgButton>>("buttons");
        QTest::addColumn<int>("plainButtons");
        QTest::addColumn<int>("expected");
        const struct {
            const char* Name;
            std::vector<TMsgButton> Buttons;
            int Expected;
        } choices[] = {
            {"Add Profile: Overwrite file?", {TMsgButton::Yes, TMsgButton::No}, mrNo},
            {"Delete file", {TMsgButton::Yes, TMsgButton::No}, mrNo},
            {"Convert: Overwrite file?", {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel, TMsgButton::YesToAll},
             mrCancel},
            {"Stop encoding?", {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel}, mrCancel},
            {"Invalid File Name", {TMsgButton::OK, TMsgButton::Cancel}, mrCancel},
            {"a notice with OK", {TMsgButton::OK}, mrOk},
        };
        const struct {
            const char* Name;
            TMsgBoxButtons Buttons;
            int Expected;
        } boxes[] = {
            {"plain Yes/No", TMsgBoxButtons::YesNo, mrNo},
            {"Create directory (Yes/No/Cancel)", TMsgBoxButtons::YesNoCancel, mrCancel},
            {"plain OK", TMsgBoxButtons::OK, mrOk},
        };
        for (const char* how : {"Escape", "close box"}) {
            for (const auto& c : choices)
                QTest::addRow("%s, %s", c.Name, how) << false << c.Buttons << 0 << c.Expected;
            for (const auto& b : boxes)
                QTest::addRow("%s, %s", b.Name, how)
                    << true << std::vector<TMsgButton>{} << int(b.Buttons) << b.Expected;
        }
    }

    void closingAQuestion()
    {
        QFETCH(bool, plain);
        QFETCH(std::vector<TMsgButton>, buttons);
        QFETCH(int, plainButtons);
        QFETCH(int, expected);
        const bool escape = QString(QTest::currentDataTag()).endsWith("Escape");
        DialogHook::SetTestMode(false);
        bool stayedOpen = false;
        QTimer::singleShot(0, [escape] {
            QWidget* d = QApplication::activeModalWidget();
            QVERIFY(d);
            if (escape)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                d->close();
        });
        // A dialog that refused to close ends the test instead of waiting.
        QTimer::singleShot(3000, [&stayedOpen] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                stayedOpen = true;
                d->done(mrYes);
            }
        });
        const int r = plain ? ShowMessageBox(nullptr, "A question?", "Question", TMsgIcon::Confirmation,
                                             static_cast<TMsgBoxButtons>(plainButtons))
                            : ShowLocalizedMessage(nullptr, "A question?", "Question", TMsgIcon::Confirmation,
                                                   buttons, {});
        QVERIFY(!stayedOpen);
        QCOMPARE(r, expected);
        QCOMPARE(DialogHook::Last()->result, expected);
    }

    void queuedAnswersAreUsedInOrderAndUnansweredDoNotBlock()
    {
        DialogHook::QueueAnswer(mrYes);
        DialogHook::QueueAnswer(mrNo);
        auto ask = [] {
            return ShowLocalizedMessage(nullptr, "q", "t", TMsgIcon::Confirmation,
                                        {TMsgButton::Yes, TMsgButton::No}, {"Yes", "No"});
        };
        QCOMPARE(ask(), int(mrYes));
        QCOMPARE(ask(), int(mrNo));
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        QCOMPARE(ask(), int(mrNo)); // nothing queued: closed, which answers No; counted
        QCOMPARE(DialogHook::UnansweredCount(), 1);
        QCOMPARE(DialogHook::Shown().size(), size_t(3));
    }

    void plainMessageBoxes_data()
    {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("unansweredResult");
        QTest::newRow("OK box") << int(TMsgBoxButtons::OK) << int(mrOk);
        QTest::newRow("Yes/No box") << int(TMsgBoxButtons::YesNo) << int(mrNo);
        QTest::newRow("Yes/No/Cancel box") << int(TMsgBoxButtons::YesNoCancel) << int(mrCancel);
    }

    void plainMessageBoxes()
    {
        QFETCH(int, buttons);
        QFETCH(int, unansweredResult);
        const auto kind = static_cast<TMsgBoxButtons>(buttons);
        DialogHook::QueueAnswer(mrYes);
        QCOMPARE(ShowMessageBox(nullptr, "text one", "Caption", TMsgIcon::Warning, kind), int(mrYes));
        QCOMPARE(ShowMessageBox(nullptr, "text two", "Caption", TMsgIcon::Error, kind), unansweredResult);
        QCOMPARE(DialogHook::Shown().size(), size_t(2));
        QCOMPARE(DialogHook::Shown()[0].kind, TShownDialog::MessageBox);
        QCOMPARE(Q(DialogHook::Shown()[0].text), QString("text one"));
        QCOMPARE(DialogHook::Shown()[0].icon, TMsgIcon::Warning);
        QCOMPARE(DialogHook::Shown()[1].icon, TMsgIcon::Error);
        QCOMPARE(DialogHook::UnansweredCount(), 1);
    }

    void realMessageBoxReturnsPressedButton()
    {
        DialogHook::SetTestMode(false);
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(FindOpenDialog("dlgMessageBox")))
                box->button(QMessageBox::Yes)->click();
        });
        QCOMPARE(ShowMessageBox(nullptr, "Create it?", "Create directory", TMsgIcon::Confirmation,
                                TMsgBoxButtons::YesNoCancel, 1),
                 int(mrYes));
    }

    void displayTextTurnsWindowsBreaksIntoLines()
    {
        QCOMPARE(DisplayText("a\r\n\r\nb"), QString("a\n\nb"));
        QCOMPARE(DisplayText("a\rb\nc"), QString("a\nb\nc"));
    }

    void centeringRoundsTowardZero()
    {
        QWidget owner;
        owner.setGeometry(100, 50, 401, 301);
        QWidget window;
        window.resize(200, 100);
        CenterOver(&window, &owner);
        QCOMPARE(window.pos(), QPoint(100 + (401 - 200) / 2, 50 + (301 - 100) / 2));
        // A window larger than its owner moves up and left of it.
        window.resize(500, 400);
        CenterOver(&window, &owner);
        QCOMPARE(window.pos(), QPoint(100 + (401 - 500) / 2, 50 + (301 - 400) / 2));
    }

    void busyCursorNests()
    {
        QCOMPARE(BusyDepth(), 0);
        BeginBusy();
        BeginBusy();
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        EndBusy();
        QVERIFY2(QApplication::overrideCursor(), "inner EndBusy must not restore the cursor");
        EndBusy();
        QVERIFY(!QApplication::overrideCursor());
        EndBusy(); // one too many: harmless
        QCOMPARE(BusyDepth(), 0);
        {
            TBusyCursor busy;
            QCOMPARE(BusyDepth(), 1);
        }
        QCOMPARE(BusyDepth(), 0);
        QVERIFY(!QApplication::overrideCursor());
    }

    void folderPickerKeepsPathWhenCancelled()
    {
        std::string path = "/start/here";
        DialogHook::QueueFileAnswer("");
        QVERIFY(!BrowseForFolder(nullptr, path, "Please select a folder!"));
        QCOMPARE(Q(path), QString("/start/here"));
        DialogHook::QueueFileAnswer("/chosen/folder");
        QVERIFY(BrowseForFolder(nullptr, path, "Please select a folder!"));
        QCOMPARE(Q(path), QString("/chosen/folder"));
        QVERIFY(!BrowseForFolder(nullptr, path, "unanswered"));
        QCOMPARE(Q(path), QString("/chosen/folder"));
    }

    // Without a URL handler the desktop opens nothing; xdg-open and then gio
    // are tried, and when none of them starts the user is told the path.
    void openingFallsBackAndTellsWhenNothingOpens_data()
    {
        QTest::addColumn<bool>("desktopOpens");
        QTest::addColumn<QStringList>("installed"); // the fallback programs that start
        QTest::addColumn<QStringList>("tried");     // "program args" of every start tried
        QTest::addColumn<bool>("told");
        const QString path = QStringLiteral("/media/clips/a b.avi");
        QTest::newRow("desktop handler") << true << QStringList{"xdg-open", "gio"} << QStringList{} << false;
        QTest::newRow("xdg-open") << false << QStringList{"xdg-open", "gio"} << QStringList{"xdg-open " + path}
                                  << false;
        QTest::newRow("gio only") << false << QStringList{"gio"}
                                  << QStringList{"xdg-open " + path, "gio open " + path} << false;
        QTest::newRow("nothing") << false << QStringList{}
                                 << QStringList{"xdg-open " + path, "gio open " + path} << true;
    }
    void openingFallsBackAndTellsWhenNothingOpens()
    {
        QFETCH(bool, desktopOpens);
        QFETCH(QStringList, installed);
        QFETCH(QStringList, tried);
        QFETCH(bool, told);
        const std::string path = "/media/clips/a b.avi";
        QStringList started;
        SetUrlOpener([&](const QUrl&) { return desktopOpens; });
        SetProgramStarter([&](const QString& program, const QStringList& args) {
            started << program + " " + args.join(' ');
            return installed.contains(program);
        });
        const bool opened = OpenLocalPathOrTell(nullptr, path);
        SetUrlOpener({});
        SetProgramStarter({});
        QCOMPARE(opened, !told);
        QCOMPARE(started, tried);
        QCOMPARE(DialogHook::Shown().size(), size_t(told ? 1 : 0));
        if (told) {
            QCOMPARE(Q(DialogHook::Last()->text), Q(FormatText(IDS_MESSAGEBOX_NothingOpens, {path})));
            QVERIFY(DialogHook::Last()->text.find(path) != std::string::npos);
            QCOMPARE(Q(DialogHook::Last()->title), Q(IDS_MESSAGEBOX_NothingOpensTitle));
        }
    }

    // The real helpers: one that ends at once counts only with exit code 0
    // ("gio open" without a handler exits 2); one still running after a
    // short wait has opened the file. The helpers are scripts in the test's
    // own folder, found through PATH.
    void fallbackHelpersCountByTheirExitCode_data()
    {
        QTest::addColumn<QString>("xdgOpen"); // script bodies; "" for not installed
        QTest::addColumn<QString>("gio");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("ran"); // the helpers that ran, in order
        QTest::newRow("xdg-open opens") << "exit 0" << "exit 0" << true << "xdg-open ";
        QTest::newRow("xdg-open fails, gio opens") << "exit 3" << "exit 0" << true << "xdg-open gio ";
        QTest::newRow("gio has no handler") << "" << "exit 2" << false << "gio ";
        QTest::newRow("neither installed") << "" << "" << false << "";
        QTest::newRow("xdg-open waits for the viewer") << "/bin/sleep 2" << "exit 0" << true << "xdg-open ";
    }
    void fallbackHelpersCountByTheirExitCode()
    {
        QFETCH(QString, xdgOpen);
        QFETCH(QString, gio);
        QFETCH(bool, opened);
        QFETCH(QString, ran);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString log = dir.filePath("ran");
        auto script = [&](const QString& name, const QString& body) {
            if (body.isEmpty())
                return;
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(("#!/bin/sh\nprintf '%s ' " + name + " >> '" + log + "'\n" + body + "\n").toUtf8());
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        script("xdg-open", xdgOpen);
        script("gio", gio);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8());
        SetUrlOpener([](const QUrl&) { return false; });
        DialogHook::SetTestMode(false);
        const bool result = OpenLocalPath(dir.filePath("clip.avi").toStdString());
        DialogHook::SetTestMode(true);
        SetUrlOpener({});
        qputenv("PATH", path);
        QCOMPARE(result, opened);
        QFile f(log);
        QCOMPARE(f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString(), ran);
        // A helper left running ends on its own and is reaped.
        if (xdgOpen.contains("sleep"))
            QTest::qWait(2500);
    }

    void testModeNeverStartsADesktopProgram()
    {
        // The real start refuses in test mode, so a failing handler ends in the message.
        SetUrlOpener([](const QUrl&) { return false; });
        QVERIFY(!OpenLocalPathOrTell(nullptr, "/nowhere/x.avi"));
        SetUrlOpener({});
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
    }

    void urlOpenerIsReplaceable()
    {
        std::vector<QUrl> opened;
        SetUrlOpener([&](const QUrl& u) {
            opened.push_back(u);
            return true;
        });
        QVERIFY(OpenTechnicalSupport());
        SetUrlOpener({});
        QCOMPARE(opened.size(), size_t(1));
        QCOMPARE(opened[0], QUrl("https://github.com/quorvex/quorvex/issues"));
    }

    void dispatcherInvokeRunsOnGuiThreadAndWaits()
    {
        TQtDispatcher dispatcher;
        std::atomic<bool> ranOnGui{false};
        std::atomic<bool> returnedAfterRun{false};
        std::atomic<bool> done{false};
        std::string failure;
        std::thread worker([&] {
            bool ran = false;
            dispatcher.Invoke([&] {
                ranOnGui = QThread::currentThread() == qApp->thread();
                ran = true;
            });
            returnedAfterRun = ran;
            try {
                dispatcher.Invoke([] { throw std::runtime_error("handler failed"); });
            } catch (const std::exception& e) {
                failure = e.what();
            }
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
        worker.join();
        QVERIFY(ranOnGui.load());
        QVERIFY(returnedAfterRun.load());
        QCOMPARE(Q(failure), QString("handler failed"));
        // On the GUI thread itself Invoke runs at once.
        bool direct = false;
        dispatcher.Invoke([&] { direct = true; });
        QVERIFY(direct);
    }

    void dispatcherPostRunsInOrderAndReportsFailures()
    {
        TQtDispatcher dispatcher;
        std::vector<int> order;
        std::vector<std::string> reported;
        dispatcher.SetExceptionHandler([&](const std::string& m) { reported.push_back(m); });
        std::thread worker([&] {
            for (int i = 0; i < 5; ++i)
                dispatcher.Post([&order, i] { order.push_back(i); });
            dispatcher.Post([] { throw std::runtime_error("posted failure"); });
            dispatcher.Post([&order] { order.push_back(99); });
        });
        worker.join();
        QVERIFY(order.empty()); // nothing runs before the loop does
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(6), 10000);
        QCOMPARE(order, (std::vector<int>{0, 1, 2, 3, 4, 99}));
        QCOMPARE(reported.size(), size_t(1));
        QCOMPARE(Q(reported[0]), QString("posted failure"));
    }
};

QTEST_MAIN(MessagesTest)
#include "messages_test.moc"
