// The main window driven through its object names: the file list commands
// and summary, drops, the media panel, the format choice, "To Others", the
// help command, the options saved only by Exit.

#include "main_fixture.h"

#include "lang/Format.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "ui/common/InstanceLink.h"
#include "ui/common/QtText.h"

#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include "ui/common/ModalForm.h"
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>

Q_DECLARE_METATYPE(std::vector<int>)

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainFixture> fx_;
    std::string clip_;
    std::vector<std::string> five_; // a.avi .. e.avi
    std::vector<std::string> opened_;

    QTreeWidget* List(TfrmMain& frm) { return Child<QTreeWidget>(&frm, "lsvFileName"); }
    QString Summary(TfrmMain& frm) { return Child<QLabel>(&frm, "lblStatus")->text(); }

    void Select(TfrmMain& frm, const std::vector<int>& rows)
    {
        QTreeWidget* list = List(frm);
        list->clearSelection();
        for (int r : rows)
            list->topLevelItem(r)->setSelected(true);
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fx_ = std::make_unique<TMainFixture>();
        clip_ = fx_->MakeClip("clip.avi");
        QVERIFY2(!clip_.empty(), "ffmpeg could not generate a clip");
        five_ = fx_->CopyClip(clip_, {"a.avi", "b.avi", "c.avi", "d.avi", "e.avi"});
        SetUrlOpener([this](const QUrl& url) {
            opened_.push_back(url.toString().toStdString());
            return true;
        });
    }

    void cleanupTestCase()
    {
        SetUrlOpener(nullptr);
        fx_.reset();
    }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
        opened_.clear();
        fx_->RemoveOptions();
    }

    // ---- Deleting ----

    void deleteSelectsTheFollowingItem_data()
    {
        QTest::addColumn<std::vector<int>>("selected");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("selectedAfter"); // file name, "" for none
        QTest::addColumn<QString>("summary");
        QTest::newRow("items 2 and 3 of five select the old fourth")
            << std::vector<int>{1, 2} << QStringList{"a.avi", "d.avi", "e.avi"} << "d.avi" << "Summary: 3 files";
        QTest::newRow("last two of five select the new last")
            << std::vector<int>{3, 4} << QStringList{"a.avi", "b.avi", "c.avi"} << "c.avi" << "Summary: 3 files";
        QTest::newRow("first and third leave the block's follower selected")
            << std::vector<int>{0, 2} << QStringList{"b.avi", "d.avi", "e.avi"} << "b.avi" << "Summary: 3 files";
        QTest::newRow("four of five leave one file")
            << std::vector<int>{0, 1, 2, 3} << QStringList{"e.avi"} << "e.avi" << "Summary: One file";
        QTest::newRow("every item leaves nothing selected")
            << std::vector<int>{0, 1, 2, 3, 4} << QStringList{} << "" << "Summary: No files";
        QTest::newRow("nothing selected deletes nothing")
            << std::vector<int>{} << QStringList{"a.avi", "b.avi", "c.avi", "d.avi", "e.avi"} << ""
            << "Summary: 5 files";
    }

    void deleteSelectsTheFollowingItem()
    {
        QFETCH(std::vector<int>, selected);
        QFETCH(QStringList, remaining);
        QFETCH(QString, selectedAfter);
        QFETCH(QString, summary);

        auto frm = fx_->NewWindow();
        frm->AddFiles(five_);
        QCOMPARE(frm->FileCount(), 5);
        Select(*frm, selected);
        Act(frm.get(), "actDelete")->trigger();

        QStringList names;
        for (const QString& p : ListPaths(*frm))
            names << QFileInfo(p).fileName();
        QCOMPARE(names, remaining);
        QStringList selectedNames;
        for (int i : frm->SelectedIndexes())
            selectedNames << QFileInfo(QString::fromStdString(frm->FilePathAt(i))).fileName();
        QCOMPARE(selectedNames, selectedAfter.isEmpty() ? QStringList{} : QStringList{selectedAfter});
        // The summary follows once pending events have run.
        QTRY_COMPARE(Summary(*frm), summary);
        QTRY_COMPARE(Child<QFrame>(frm.get(), "pnlMediaInfo")->isVisibleTo(frm.get()), !remaining.isEmpty());
    }

    // ---- Adding ----

    void addSkipsDuplicatesAndUnacceptedFiles()
    {
        const std::string upper = fx_->CopyClip(clip_, {"A.avi"}).front(); // a.avi in another case
        const std::string text = fx_->MediaDir() + "notes.txt";
        const std::string noExt = fx_->MediaDir() + "noextension";
        qvtest::WriteFile(text, "not media");
        fs::copy_file(clip_, noExt, fs::copy_options::overwrite_existing);
        // Real clips whose names carry no accepted extension.
        const std::vector<std::string> oddNames = fx_->CopyClip(clip_, {"movie.", ".avi", "clip.av"});

        auto frm = fx_->NewWindow();
        const struct {
            std::string path;
            int countAfter;
        } steps[] = {
            {five_[0], 1},                         // a.avi
            {five_[0], 1},                         // same path, same case: skipped
            {upper, 2},                            // same name in another case: a second item
            {fx_->MediaDir() + "missing.avi", 2},  // does not exist
            {text, 2},                             // extension not in the filters
            {noExt, 2},                            // no extension at all
            {oddNames[0], 2},                      // "movie.": an empty extension
            {oddNames[1], 2},                      // ".avi": a hidden name without extension
            {oddNames[2], 2},                      // ".av" is only part of a pattern
            {fx_->MediaDir(), 2},                  // a folder
        };
        for (const auto& s : steps) {
            frm->AddFile(s.path);
            QCOMPARE(frm->FileCount(), s.countAfter);
        }
        QCOMPARE(DialogHook::Shown().size(), size_t(0)); // all skipped silently
        QCOMPARE(frm->FilePathAt(0), five_[0]);
        QCOMPARE(frm->FilePathAt(1), upper);
        // The item carries its media facts, once they are read.
        QTRY_COMPARE(frm->PendingFacts(), 0);
        QCOMPARE(frm->FileItemAt(0)->FileName, std::string("a.avi"));
        QCOMPARE(frm->FileItemAt(0)->FilePath, fx_->MediaDir());
        QCOMPARE(frm->FileItemAt(0)->VideoCount, std::string("1"));
    }

    void damagedFileIsReportedAndNotAdded()
    {
        const std::string broken = fx_->MediaDir() + "broken.avi";
        qvtest::WriteFile(broken, std::string(4096, 'x'));
        auto frm = fx_->NewWindow();
        frm->AddFiles({broken, five_[1]});
        // Listed at once; the damaged one leaves when its facts are read.
        QCOMPARE(frm->FileCount(), 2);
        QTRY_COMPARE(frm->FileCount(), 1); // the next file stays
        QCOMPARE(frm->FilePathAt(0), five_[1]);
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
        const TShownDialog& shown = DialogHook::Shown().front();
        QCOMPARE(shown.title, IDS_MESSAGEBOX_Error);
        QCOMPARE(shown.text, FormatText(IDS_MESSAGEBOX_FormatError, {broken}));
        QVERIFY(shown.text.find("An error occurred while adding file:") == 0);
    }

    // Files given on the command line are added once the window is shown:
    // the message about a damaged one is owned by the window and centred
    // over it, not placed at the screen's corner.
    void commandLineFileMessageAppearsOverTheWindow()
    {
        const std::string broken = fx_->MediaDir() + "broken.avi";
        qvtest::WriteFile(broken, std::string(4096, 'x'));
        auto frm = fx_->NewWindow();
        QWidget* owner = nullptr;
        bool windowShown = false;
        QRect box;
        DialogHook::QueueAnswer([&]() -> int {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("dlgMessageBox")) {
                    owner = w->parentWidget();
                    windowShown = frm->isVisible();
                    w->show(); // placed as the real box would be
                    box = w->frameGeometry();
                    w->hide();
                }
            return mrOk;
        });
        frm->ShowWithFiles({broken, five_[1]});
        QTRY_COMPARE(frm->FileCount(), 1);
        QCOMPARE(DialogHook::PendingAnswers(), 0);
        QCOMPARE(DialogHook::Last()->text, FormatText(IDS_MESSAGEBOX_FormatError, {broken}));
        QCOMPARE(owner, static_cast<QWidget*>(frm.get()));
        QVERIFY(windowShown);
        const QPoint offset = box.center() - frm->frameGeometry().center();
        QVERIFY2(offset.manhattanLength() <= 4, qPrintable(QString("box %1,%2 %3x%4, window %5,%6 %7x%8")
                                                               .arg(box.x()).arg(box.y()).arg(box.width())
                                                               .arg(box.height()).arg(frm->x()).arg(frm->y())
                                                               .arg(frm->width()).arg(frm->height())));
        frm->hide();
    }

    // A second start of the real program hands its files to the running
    // window (here a server in this process, over the same program folder)
    // and ends at once; a socket left by an ended window is taken over.
    void secondStartHandsItsFilesToTheWindow_data()
    {
        QTest::addColumn<bool>("stale");
        QTest::newRow("no window ran before") << false;
        QTest::newRow("socket left by an ended window") << true;
    }

    void secondStartHandsItsFilesToTheWindow()
    {
        QFETCH(bool, stale);
        const std::string built = fx_->BuiltAppDir();
        if (built.empty() || !fs::exists(fs::path(built) / "quorvex"))
            QSKIP("the built program is missing from QV_APP_DIR");
        const std::string program = fx_->AppDir() + "quorvex";
        fs::copy_file(fs::path(built) / "quorvex", program, fs::copy_options::overwrite_existing);
        const std::string runtime = fx_->Temp(stale ? "runtime stale/" : "runtime/");
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        const bool hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        struct TRestore {
            QByteArray value;
            bool set;
            ~TRestore() { set ? qputenv("XDG_RUNTIME_DIR", value) : qunsetenv("XDG_RUNTIME_DIR"); }
        } restore{oldRuntime, hadRuntime};
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));

        const std::string socket = InstanceSocketPath(UserDataFolder);
        QVERIFY2(socket.rfind(runtime + "quorvex-" + std::to_string(getuid()) + "-", 0) == 0, socket.c_str());
        // Another program folder (another copy) has a window of its own.
        QVERIFY(InstanceSocketPath(fx_->Temp("other copy/")) != socket);
        if (stale) {
            // Bound and closed: the name is there, nothing listens.
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket.c_str());
            QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
            QVERIFY(fs::exists(socket));
            QCOMPARE(HandFilesToRunningInstance(socket, {"x.avi"}, 1000), THandOver::NoServer);
        }

        auto frm = fx_->NewWindow();
        frm->show();
        TInstanceServer server;
        QVERIFY(server.Listen(socket));
        std::vector<std::vector<std::string>> received;
        server.SetReceiver([&](const std::vector<std::string>& paths) {
            received.push_back(paths);
            frm->HandOverFiles(paths);
        });

        // A name relative to the second start's folder, and one that is no UTF-8.
        const std::string media = fs::canonical(fx_->MediaDir()).string() + "/";
        fx_->CopyClip(clip_, {"handed.avi", "caf\xE9.avi"});
        QProcess second;
        second.setWorkingDirectory(QString::fromStdString(media));
        QElapsedTimer timer;
        timer.start();
        second.start("/bin/sh", {"-c", R"sh(exec "$0" "$1" "$(printf 'caf\351.avi')")sh",
                                 QString::fromStdString(program), "handed.avi"});
        QVERIFY(second.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 15000);
        const qint64 ms = timer.elapsed();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
        QVERIFY2(ms < 5000, qPrintable(QString("the second start took %1 ms").arg(ms)));
        QCOMPARE(received.size(), size_t(1));
        QCOMPARE(received[0], (std::vector<std::string>{media + "handed.avi", media + "caf\xE9.avi"}));
        QTRY_COMPARE(frm->FileCount(), 1);
        QCOMPARE(frm->FilePathAt(0), media + "handed.avi");
        QVERIFY(frm->isVisible());
    }

    void summaryTexts_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("summary");
        QTest::newRow("none") << 0 << "Summary: No files";
        QTest::newRow("one") << 1 << "Summary: One file";
        QTest::newRow("two") << 2 << "Summary: 2 files";
        QTest::newRow("five") << 5 << "Summary: 5 files";
    }

    void summaryTexts()
    {
        QFETCH(int, count);
        QFETCH(QString, summary);
        auto frm = fx_->NewWindow();
        frm->AddFiles(std::vector<std::string>(five_.begin(), five_.begin() + count));
        QTRY_COMPARE(Summary(*frm), summary);
    }

    void openDialogReplacesOrAppends_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("title"); // of the file dialog: it says whether the list is replaced
        QTest::newRow("Select File replaces the list")
            << "actOpen" << QStringList{"c.avi", "d.avi", "e.avi"} << "Select files (they replace the list)";
        QTest::newRow("Add keeps the old items")
            << "actAdd" << QStringList{"a.avi", "b.avi", "c.avi", "d.avi", "e.avi"} << "Add Files";
    }

    void openDialogReplacesOrAppends()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, expected);
        QFETCH(QString, title);
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[0], five_[1]});
        DialogHook::QueueFileAnswer(five_[2] + "\n" + five_[3] + "\n" + five_[4]);
        Act(frm.get(), action.toLatin1().constData())->trigger();
        QCOMPARE(QString::fromStdString(DialogHook::Last()->title), title);
        // The button says so before it is pressed.
        QCOMPARE(Child<QPushButton>(frm.get(), "btnOpen")->toolTip(),
                 QStringLiteral("Replace the list with the files you choose"));
        QStringList names;
        for (const QString& p : ListPaths(*frm))
            names << QFileInfo(p).fileName();
        QCOMPARE(names, expected);
        // The last item is selected; the first file's folder is remembered.
        QCOMPARE(frm->SelectedIndexes(), std::vector<int>{frm->FileCount() - 1});
        QCOMPARE(Options.LastInputOpenDir, fx_->MediaDir());
    }

    // ---- Dropping ----

    // A dropped folder adds the media below it, as "Add Folder..." does:
    // not its other or hidden files.
    void dropAddsFilesAndFolders_data()
    {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<int>("added");
        const QString media = QString::fromStdString(fx_->MediaDir());
        const std::string clip = fx_->MakeClip("dropped.avi");
        const std::string folder = fx_->Temp("dropped folder/");
        fs::create_directories(folder + "sub");
        for (const char* name : {"a.avi", "b.avi", "sub/c.avi", ".hidden.avi"})
            if (!clip.empty())
                fs::copy_file(clip, folder + name, fs::copy_options::overwrite_existing);
        qvtest::WriteFile(folder + "cover.jpg", "no media");
        const QString dropped = QString::fromStdString(folder);
        QTest::newRow("a folder adds the media below it") << QStringList{dropped} << 3;
        QTest::newRow("a folder and two of its files add each once")
            << QStringList{dropped, dropped + "a.avi", dropped + "b.avi"} << 3;
        QTest::newRow("a file dropped twice is added once") << QStringList{media + "c.avi", media + "c.avi"} << 1;
    }

    void dropAddsFilesAndFolders()
    {
        QFETCH(QStringList, dropped);
        QFETCH(int, added);
        auto frm = fx_->NewWindow();
        QList<QUrl> urls;
        for (const QString& p : dropped)
            urls << QUrl::fromLocalFile(p);
        QMimeData mime;
        mime.setUrls(urls);
        const QPointF at(100, 200);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frm.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frm.get(), &drop);
        QCOMPARE(frm->FileCount(), added);
        if (added > 0)
            QCOMPARE(frm->SelectedIndexes(), std::vector<int>{added - 1});
    }

    // ---- Ordering and selection ----

    void moveUpAndDown_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("order");
        QTest::newRow("up on the first changes nothing") << 0 << true << "abc";
        QTest::newRow("down on the last changes nothing") << 2 << false << "abc";
        QTest::newRow("up on the second") << 1 << true << "bac";
        QTest::newRow("down on the first") << 0 << false << "bac";
        QTest::newRow("down on the second") << 1 << false << "acb";
        QTest::newRow("nothing selected") << -1 << true << "abc";
    }

    void moveUpAndDown()
    {
        QFETCH(int, selected);
        QFETCH(bool, up);
        QFETCH(QString, order);
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[0], five_[1], five_[2]});
        Select(*frm, selected < 0 ? std::vector<int>{} : std::vector<int>{selected});
        Act(frm.get(), up ? "actMoveUp" : "actMoveDown")->trigger();
        QString got;
        for (int i = 0; i < frm->FileCount(); ++i) {
            got += QChar(QFileInfo(QString::fromStdString(frm->FilePathAt(i))).fileName().at(0));
            // Every item keeps its own media record.
            QCOMPARE(frm->FileItemAt(i)->FileName + "", QFileInfo(QString::fromStdString(frm->FilePathAt(i)))
                                                             .fileName()
                                                             .toStdString());
        }
        QCOMPARE(got, order);
        if (selected >= 0) {
            // The moved item stays selected.
            const int expectedRow = order.indexOf(QChar('a' + selected));
            QCOMPARE(frm->SelectedIndexes(), std::vector<int>{expectedRow});
        }
    }

    void moveKeepsOtherSelections()
    {
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[0], five_[1], five_[2], five_[3]});
        Select(*frm, {1, 3});
        Act(frm.get(), "actMoveUp")->trigger(); // moves b only
        QCOMPARE(QFileInfo(QString::fromStdString(frm->FilePathAt(0))).fileName(), QString("b.avi"));
        QCOMPARE(frm->SelectedIndexes(), (std::vector<int>{0, 3}));
    }

    void removeAndMoveByPath()
    {
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[0], five_[1], five_[2]});
        const std::string sizeOfFirst = frm->FileItemAt(0)->FileSize;
        frm->MoveFileToEnd(five_[0]);
        QCOMPARE(ListPaths(*frm), (QStringList{QString::fromStdString(five_[1]), QString::fromStdString(five_[2]),
                                               QString::fromStdString(five_[0])}));
        QCOMPARE(frm->FileItemAt(2)->FileName, std::string("a.avi"));
        QCOMPARE(frm->FileItemAt(2)->FileSize, sizeOfFirst);

        // Paths are compared exactly: another case or an unknown path does nothing.
        frm->RemoveFileByPath(fx_->MediaDir() + "B.avi");
        frm->MoveFileToEnd(fx_->MediaDir() + "zzz.avi");
        QCOMPARE(frm->FileCount(), 3);
        frm->RemoveFileByPath(five_[1]);
        QCOMPARE(frm->FileCount(), 2);
        QTRY_COMPARE(Summary(*frm), QString("Summary: 2 files"));
    }

    void selectAllAndClear()
    {
        auto frm = fx_->NewWindow();
        frm->AddFiles(five_);
        Act(frm.get(), "actSelectAll")->trigger();
        QCOMPARE(frm->SelectedIndexes().size(), size_t(5));
        Act(frm.get(), "actClearList")->trigger();
        QCOMPARE(frm->FileCount(), 0);
        QCOMPARE(Summary(*frm), QString("Summary: No files"));
        QTRY_VERIFY(!Child<QFrame>(frm.get(), "pnlMediaInfo")->isVisibleTo(frm.get()));
    }

    // ---- Media panel ----

    void mediaPanelFollowsSelection()
    {
        auto frm = fx_->NewWindow();
        auto* panel = Child<QFrame>(frm.get(), "pnlMediaInfo");
        auto* codec = Child<QLabel>(frm.get(), "lblVideoCodecValue");
        auto* name = Child<QLabel>(frm.get(), "lblCompleteNameValue");
        QVERIFY(!panel->isVisibleTo(frm.get())); // empty list
        QCOMPARE(codec->text(), QString("..."));  // nothing shown yet

        const std::string audioOnly = fx_->MakeClip("tone.wav", false);
        QVERIFY(!audioOnly.empty());
        frm->AddFiles({five_[0], audioOnly});
        frm->SelectListItem(0);
        QTRY_COMPARE(frm->PendingFacts(), 0);
        QTRY_COMPARE(name->text(), QString::fromStdString(five_[0]));
        QVERIFY(panel->isVisibleTo(frm.get()));
        QVERIFY(codec->text() != QString("<None>"));
        // Rates with their units, as people read them.
        const QString rate = Child<QLabel>(frm.get(), "lblFrameRateValue")->text();
        QVERIFY2(QRegularExpression("^[0-9.]+ fps$").match(rate).hasMatch(), qPrintable(rate));
        const QString bitrate = Child<QLabel>(frm.get(), "lblVideoBitrateValue")->text();
        QVERIFY2(QRegularExpression("^[0-9.]+ (k|M)?bit/s$").match(bitrate).hasMatch(), qPrintable(bitrate));

        // Two selected: the first one's facts.
        Select(*frm, {0, 1});
        QTRY_COMPARE(name->text(), QString::fromStdString(five_[0]));

        // An audio-only file: no video facts, audio facts present.
        Select(*frm, {1});
        QTRY_COMPARE(codec->text(), QString("<None>"));
        QCOMPARE(Child<QLabel>(frm.get(), "lblWidthValue")->text(), QString("<None>"));
        const QString sampling = Child<QLabel>(frm.get(), "lblSamplingRateValue")->text();
        QVERIFY2(QRegularExpression("^[0-9.]+ kHz$").match(sampling).hasMatch(), qPrintable(sampling));

        // No selection: every value reads "<None>", the panel stays.
        Select(*frm, {});
        QTRY_COMPARE(name->text(), QString("<None>"));
        QVERIFY(panel->isVisibleTo(frm.get()));
    }

    void moreInformationShowsTheReport()
    {
        const std::string gone = fx_->CopyClip(clip_, {"gone.avi"}).front();
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[2], gone});
        QTRY_COMPARE(frm->PendingFacts(), 0);

        // Nothing selected, or a file deleted since it was added: nothing opens.
        Select(*frm, {});
        Act(frm.get(), "actMore")->trigger();
        fs::remove(gone);
        frm->SelectListItem(1);
        Act(frm.get(), "actMore")->trigger();
        QCOMPARE(DialogHook::Shown().size(), size_t(0));
        QCOMPARE(DialogHook::UnansweredCount(), 0);

        QString caption, report;
        QDialog* first = nullptr;
        for (int round = 0; round < 2; ++round) {
            DialogHook::QueueFormDriver([&](QDialog& form) {
                caption = form.windowTitle();
                report = form.findChild<QPlainTextEdit*>("mmoInfo")->toPlainText();
                if (!first)
                    first = &form;
                QCOMPARE(&form, first); // created once and kept
                form.accept();
            });
            frm->SelectListItem(0);
            emit Child<QLabel>(frm.get(), "lblMore")->linkActivated("more");
            QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        }
        QCOMPARE(caption, QString("File Information - c.avi"));
        QVERIFY(report.contains("MPEG-4"));
    }

    // ---- Output format ----

    void formatSelectionState_data()
    {
        QTest::addColumn<QStringList>("chosen"); // actions triggered in order
        QTest::addColumn<int>("format");
        QTest::newRow("MP3 from the menu") << QStringList{"actMP3"} << 13;
        QTest::newRow("AVI after MP3") << QStringList{"actMP3", "actAVI"} << 0;
        QTest::newRow("MP3 after SWF") << QStringList{"actSWF", "actMP3"} << 13;
        QTest::newRow("WAV twice stays checked") << QStringList{"actWAV", "actWAV"} << 15;
        QTest::newRow("VOB") << QStringList{"actVOB"} << 8;
        QTest::newRow("ASF after AAC") << QStringList{"actAAC", "actASF"} << 9;
        QTest::newRow("3GP") << QStringList{"act3GP"} << 2;
        QTest::newRow("WEBM after MP3") << QStringList{"actMP3", "actWEBM"} << 17;
        QTest::newRow("OGG") << QStringList{"actOGG"} << 21;
    }

    void formatSelectionState()
    {
        QFETCH(QStringList, chosen);
        QFETCH(int, format);
        static const char* const names[OutputFormatCount] = {"AVI", "MP4", "3GP", "MPEG", "MOV", "WMV", "RM", "SWF",
                                                             "VOB", "ASF", "AAC", "AC3", "MP2", "MP3", "AMR", "WAV",
                                                             "MKV", "WEBM", "OPUS", "FLAC", "M4A", "OGG"};
        auto frm = fx_->NewWindow();
        for (const QString& a : chosen)
            Act(frm.get(), a.toLatin1().constData())->trigger();

        QCOMPARE(int(Options.OutputFormat), format);
        QCOMPARE(frm->CurrentFormat(), format);
        for (int f = 0; f < OutputFormatCount; ++f) {
            QAction* a = Act(frm.get(), (std::string("act") + names[f]).c_str());
            if (f < 8) {
                // Main formats: the chosen one is disabled, and so is its button.
                QCOMPARE(a->isEnabled(), f != format);
                QCOMPARE(Child<QToolButton>(frm.get(), (std::string("btn") + names[f]).c_str())->isEnabled(),
                         f != format);
                QVERIFY(!a->isChecked());
            } else {
                QCOMPARE(a->isChecked(), f == format);
                QVERIFY(a->isEnabled());
            }
        }
        QCOMPARE(Act(frm.get(), "actOthers")->isEnabled(), format < 8);
        auto* stack = Child<QStackedWidget>(frm.get(), "stkProfiles");
        QCOMPARE(stack->currentWidget()->objectName(), QString("cmb") + names[format]);
    }

    void storedFormatOutsideTheRangeChoosesNothing_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("16 is MKV") << 16 << 16;
        QTest::newRow("21 is OGG") << 21 << 21;
        QTest::newRow("22 chooses nothing") << 22 << -1;
        QTest::newRow("255 chooses nothing") << 255 << -1;
        QTest::newRow("8 is VOB") << 8 << 8;
        QTest::newRow("9 is ASF") << 9 << 9;
        QTest::newRow("7 is SWF") << 7 << 7;
    }

    void storedFormatOutsideTheRangeChoosesNothing()
    {
        QFETCH(int, stored);
        QFETCH(int, expected);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=" + std::to_string(stored) +
                          "\nLastOutputOpenDir=" + fx_->MediaDir() + "\n");
        auto frm = fx_->NewWindow();
        QCOMPARE(frm->CurrentFormat(), expected);
        QCOMPARE(Child<QLineEdit>(frm.get(), "txtOutputDir")->text(), QString::fromStdString(fx_->MediaDir()));
        auto* stack = Child<QStackedWidget>(frm.get(), "stkProfiles");
        if (expected < 0) {
            QCOMPARE(stack->currentWidget()->objectName(), QString("pnlNoProfile"));
            for (const char* main : {"actAVI", "actMP4", "actSWF"})
                QVERIFY(Act(frm.get(), main)->isEnabled());
            for (const char* other : {"actMP3", "actWAV", "actASF"})
                QVERIFY(!Act(frm.get(), other)->isChecked());
            // Choosing any format recovers.
            Act(frm.get(), "actMP4")->trigger();
            QCOMPARE(frm->CurrentFormat(), 1);
            QCOMPARE(stack->currentWidget()->objectName(), QString("cmbMP4"));
        }
    }

    // Ctrl+Return converts, Alt+1 to Alt+8 choose the main formats, Alt+9
    // opens "To Others", Ctrl+L takes the cursor to the output folder; each
    // control's tooltip names its keys after its catalogue text.
    void keyboardShortcuts_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("tip");
        const int alt = Qt::AltModifier, ctrl = Qt::ControlModifier;
        // The catalogue's caption; a label's colon is left out.
        auto text = [](const std::string& caption) { return Q(caption).remove(QRegularExpression(":\\s*$")); };
        QTest::newRow("Alt+1 AVI") << int(Qt::Key_1) << alt << "btnAVI" << text(IDS_MAIN_RADIOBUTTON_ToAVI) + " (Alt+1)";
        QTest::newRow("Alt+4 MPEG") << int(Qt::Key_4) << alt << "btnMPEG"
                                    << text(IDS_MAIN_RADIOBUTTON_ToMPEG) + " (Alt+4)";
        QTest::newRow("Alt+8 SWF") << int(Qt::Key_8) << alt << "btnSWF" << text(IDS_MAIN_RADIOBUTTON_ToSWF) + " (Alt+8)";
        QTest::newRow("Alt+9 To Others") << int(Qt::Key_9) << alt << "btnOthers"
                                         << text(IDS_MAIN_RADIOBUTTON_ToOthers) + " (Alt+9)";
        QTest::newRow("Ctrl+Return Convert") << int(Qt::Key_Return) << ctrl << "btnConvert"
                                             << text(IDS_MAIN_ARBUTTON_Convert) + " (Ctrl+Return)";
        QTest::newRow("Ctrl+Enter Convert") << int(Qt::Key_Enter) << int(ctrl | Qt::KeypadModifier) << "btnConvert"
                                            << text(IDS_MAIN_ARBUTTON_Convert) + " (Ctrl+Return)";
        QTest::newRow("Ctrl+L output folder") << int(Qt::Key_L) << ctrl << "txtOutputDir"
                                              << text(IDS_MAIN_ARBUTTON_OutputDir) + " (Ctrl+L)";
    }

    void keyboardShortcuts()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, control);
        QFETCH(QString, tip);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nLastOutputOpenDir=" + fx_->MediaDir() + "\n");
        auto frm = fx_->NewWindow();
        frm->show();
        frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frm.get()));
        frm->move(0, 0); // the menu opens where it was asked to
        QCOMPARE(Child<QWidget>(frm.get(), qPrintable(control))->toolTip(), tip);
        // No mnemonic letter serves two controls of the window.
        QCOMPARE(qvtest::MnemonicClashes(*frm), QStringList());
        QSignalSpy converts(Act(frm.get(), "actConvert"), &QAction::triggered);
        auto* list = Child<QTreeWidget>(frm.get(), "lsvFileName");
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        static const char* const mains[8] = {"btnAVI", "btnMP4", "btn3GP", "btnMPEG",
                                             "btnMOV", "btnWMV", "btnRM",  "btnSWF"};
        const auto main = std::find(std::begin(mains), std::end(mains), control) - std::begin(mains);
        if (main < 8) {
            QCOMPARE(frm->CurrentFormat(), int(main));
        } else if (control == "btnOthers") {
            auto* menu = Child<QMenu>(frm.get(), "mnuOthers");
            QTRY_VERIFY(menu->isVisible());
            menu->hide();
            QCOMPARE(frm->CurrentFormat(), 13);
        } else if (control == "btnConvert") {
            QCOMPARE(converts.count(), 1);
        } else {
            auto* edit = Child<QLineEdit>(frm.get(), "txtOutputDir");
            QTRY_VERIFY(edit->hasFocus());
            QCOMPARE(edit->selectedText(), QString::fromStdString(fx_->MediaDir()));
        }
        if (control != "btnConvert")
            QCOMPARE(converts.count(), 0);
    }

    void othersMenuOnlyOnTheLeftButton()
    {
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        // At the screen's left edge, so that the menu is not moved back inside the screen.
        frm->move(0, 0);
        auto* others = Child<QToolButton>(frm.get(), "btnOthers");
        auto* menu = Child<QMenu>(frm.get(), "mnuOthers");
        QTest::mousePress(others, Qt::RightButton);
        QTest::mouseRelease(others, Qt::RightButton);
        QTest::qWait(50);
        QVERIFY(!menu->isVisible());
        QTest::mousePress(others, Qt::MiddleButton);
        QTest::qWait(50);
        QVERIFY(!menu->isVisible());
        QTest::mousePress(others, Qt::LeftButton);
        QTRY_VERIFY(menu->isVisible());
        // Under the button, left edges aligned.
        QCOMPARE(menu->pos(), others->mapToGlobal(QPoint(0, others->height())));
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->text();
        // The newer formats after a separator (an action without text).
        QCOMPARE(items, (QStringList{"To AAC", "To AC3", "To MP2", "To MP3", "To AMR", "To WAV", "To VOB", "To ASF", "",
                                     "To MKV", "To WebM", "To Opus", "To FLAC", "To M4A", "To Ogg Vorbis"}));
        menu->hide();
    }

    // ---- Options ----

    void exitAndWindowCloseSaveOptions_data()
    {
        QTest::addColumn<bool>("viaExit");
        QTest::newRow("Exit command saves") << true;
        QTest::newRow("the window manager's close saves too") << false;
    }

    void exitAndWindowCloseSaveOptions()
    {
        QFETCH(bool, viaExit);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=3\n");
        {
            auto frm = fx_->NewWindow();
            frm->show();
            Act(frm.get(), "actWAV")->trigger();
            if (viaExit)
                Act(frm.get(), "actExit")->trigger();
            else
                QVERIFY(frm->close());
            // Saved once and ended once, whichever way.
            QCOMPARE(fx_->QuitCodes(), std::vector<int>{0});
        }
        TIniFile ini(fx_->AppDir() + "options.ini");
        QCOMPARE(ini.ReadInteger("VideoConvertoptions", "OutputFormat", -1), 15);
        QVERIFY(ini.ValueExists("VideoConvertoptions", "Priority"));
    }

    void settingsChoiceIsStoredByTheWindow_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("fileWritable");
        QTest::newRow("OK stores the choice") << true << true;
        QTest::newRow("Cancel stores nothing") << false << true;
        QTest::newRow("a failed store is reported, the choice stays") << true << false;
    }

    void settingsChoiceIsStoredByTheWindow()
    {
        QFETCH(bool, ok);
        QFETCH(bool, fileWritable);
        fx_->WriteOptions("[VideoConvertoptions]\nPriority=1\nShutdownFlag=1\n");
        auto frm = fx_->NewWindow();
        const std::string before = fx_->ReadOptions();
        if (!fileWritable) {
            // A folder in the place of options.ini: the store fails.
            fx_->RemoveOptions();
            fs::create_directory(fx_->AppDir() + "options.ini");
        }
        DialogHook::QueueFormDriver([&](QDialog& d) {
            d.findChild<QComboBox*>("ComboBoxPriority")->setCurrentIndex(3);
            d.findChild<QComboBox*>("ComboBoxShutdownFlag")->setCurrentIndex(4);
            d.findChild<QPushButton*>(ok ? "ButtonOK" : "ButtonCancel")->click();
        });
        Act(frm.get(), "actSettingsExecute")->trigger();
        QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        QCOMPARE(int(Options.Priority), ok ? 3 : 1);
        QCOMPARE(int(Options.ShutdownFlag), ok ? 4 : 1);
        if (!fileWritable) {
            fs::remove(fx_->AppDir() + "options.ini");
            QCOMPARE(DialogHook::Shown().size(), size_t(1));
            QCOMPARE(DialogHook::Shown().front().icon, TMsgIcon::Error);
            return;
        }
        QCOMPARE(DialogHook::Shown().size(), size_t(0));
        if (!ok) {
            QCOMPARE(fx_->ReadOptions(), before);
            return;
        }
        TIniFile ini(fx_->AppDir() + "options.ini");
        QCOMPARE(ini.ReadInteger("VideoConvertoptions", "Priority", -1), 3);
        QCOMPARE(ini.ReadInteger("VideoConvertoptions", "ShutdownFlag", -1), 4);
    }

    // ---- Profile folders ----

    void unusableProfileFolderEndsTheWindow_data()
    {
        QTest::addColumn<bool>("atStart");
        QTest::newRow("at start") << true;
        QTest::newRow("after a language switch") << false;
    }

    void unusableProfileFolderEndsTheWindow()
    {
        QFETCH(bool, atStart);
        // A file where the language's profile folder belongs.
        const std::string language = atStart ? "English" : "German";
        const std::string folder = fx_->AppDir() + "langs/" + language + "_Profile";
        const std::string aside = fx_->Temp(language + "_Profile.aside");
        QVERIFY(fs::exists(fx_->AppDir() + "langs/" + language + ".ini"));
        fs::remove_all(aside);
        if (fs::exists(folder))
            fs::rename(folder, aside);
        qvtest::WriteFile(folder, "not a folder");
        auto restore = [&] {
            fs::remove(folder);
            if (fs::exists(aside))
                fs::rename(aside, folder);
        };
        auto frm = fx_->NewWindow();
        if (!atStart) {
            QVERIFY(frm->StartedOk());
            QAction* german = nullptr;
            for (QAction* a : Child<QMenu>(frm.get(), "mniLanguages")->actions())
                if (a->text() == "Deutsch")
                    german = a;
            QVERIFY(german);
            german->trigger();
        }
        const std::vector<TShownDialog> shown = DialogHook::Shown();
        const std::vector<int> quits = fx_->QuitCodes();
        const bool started = frm->StartedOk();
        restore();
        if (!atStart) {
            // Back to English for the tests that follow.
            for (QAction* a : Child<QMenu>(frm.get(), "mniLanguages")->actions())
                if (a->text() == "English")
                    a->trigger();
            QCOMPARE(QString::fromStdString(IDS_MESSAGE_BUTTON_Yes), QString("Yes"));
        }
        QCOMPARE(started, !atStart);
        QCOMPARE(quits, atStart ? std::vector<int>{} : std::vector<int>{1});
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown.front().icon, TMsgIcon::Error);
    }

    // ---- Menus and desktop ----

    void listContextMenuDependsOnSelection()
    {
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        frm->AddFiles({five_[0]});
        QTreeWidget* list = List(*frm);
        auto* haveFile = Child<QMenu>(frm.get(), "mnuListViewHaveFile");
        auto* noFile = Child<QMenu>(frm.get(), "mnuListViewNoFile");

        Select(*frm, {});
        emit list->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(noFile->isVisible());
        QVERIFY(!haveFile->isVisible());
        noFile->hide();

        Select(*frm, {0});
        emit list->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(haveFile->isVisible());
        const auto shownItems = [](QMenu* menu) {
            QStringList items;
            for (QAction* a : menu->actions())
                if (a->isVisible())
                    items << (a->isSeparator() ? QString("-") : a->text());
            return items;
        };
        QCOMPARE(shownItems(haveFile), (QStringList{"Play Source", "Open Destination Folder", "-", "Delete", "Clear List",
                                                    "Clear Finished Entries", "-", "Add Files...", "Add Folder...", "-",
                                                    "Select All"}));
        haveFile->hide();

        // A converted file: its output can be played and its folder opened.
        const std::string output = fx_->Temp("menu out/a.mp3");
        frm->FileList()->SetFileState(five_[0], TFileState::Converted, output);
        Select(*frm, {0});
        emit list->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(haveFile->isVisible());
        QCOMPARE(shownItems(haveFile).mid(0, 3), (QStringList{"Play", "Open Folder", "Play Source"}));
        haveFile->hide();
        opened_.clear();
        Act(frm.get(), "actPlayOutput")->trigger();
        Act(frm.get(), "actOpenOutputFolder")->trigger();
        QCOMPARE(opened_.size(), size_t(2));
        QCOMPARE(QUrl(QString::fromStdString(opened_[0])).toLocalFile(), QString::fromStdString(output));
        QCOMPARE(QUrl(QString::fromStdString(opened_[1])).toLocalFile(), QString::fromStdString(fx_->Temp("menu out")));
        // Clearing the finished entries from the menu without a selection.
        Select(*frm, {});
        emit list->customContextMenuRequested(QPoint(10, 10));
        QTRY_VERIFY(noFile->isVisible());
        QVERIFY(shownItems(noFile).contains("Clear Finished Entries"));
        noFile->hide();
        Act(frm.get(), "actClearFinished")->trigger();
        QCOMPARE(frm->FileCount(), 0);
    }

    void desktopCommands()
    {
        auto frm = fx_->NewWindow();
        frm->AddFiles({five_[0]});
        frm->SelectListItem(0);

        Act(frm.get(), "actPlaySource")->trigger();
        QCOMPARE(opened_.size(), size_t(1));
        QCOMPARE(QUrl(QString::fromStdString(opened_.back())).toLocalFile(), QString::fromStdString(five_[0]));

        // The help page of the current language.
        Act(frm.get(), "actHelpContent")->trigger();
        QCOMPARE(opened_.size(), size_t(2));
        QCOMPARE(QUrl(QString::fromStdString(opened_.back())).toLocalFile(),
                 QString::fromStdString(fx_->AppDir() + "langs/English_help.html"));

        Act(frm.get(), "actTechnicalSupport")->trigger();
        QCOMPARE(QString::fromStdString(opened_.back()), QString("https://github.com/quorvex/quorvex/issues"));

        // An empty output box: the "Empty Dir" message, nothing opened.
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText("   ");
        const size_t before = opened_.size();
        Act(frm.get(), "actOpenDestinationFolder")->trigger();
        QCOMPARE(opened_.size(), before);
        QVERIFY(DialogHook::Last());
        QCOMPARE(DialogHook::Last()->text, IDS_MESSAGEBOX_EmptyDir);

        // An existing folder opens.
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(fx_->MediaDir()));
        Act(frm.get(), "actOpenDestinationFolder")->trigger();
        QCOMPARE(opened_.size(), before + 1);
    }

    void browseSetsTheOutputFolder()
    {
        auto frm = fx_->NewWindow();
        DialogHook::QueueFileAnswer(fx_->MediaDir());
        Act(frm.get(), "actBrowse")->trigger();
        QCOMPARE(Child<QLineEdit>(frm.get(), "txtOutputDir")->text(), QString::fromStdString(fx_->MediaDir()));
        QCOMPARE(Options.LastOutputOpenDir, fx_->MediaDir());
        // Cancelled: nothing changes.
        DialogHook::QueueFileAnswer("");
        Act(frm.get(), "actBrowse")->trigger();
        QCOMPARE(Options.LastOutputOpenDir, fx_->MediaDir());
    }

    void profileCommandsAreOffered()
    {
        auto frm = fx_->NewWindow();
        for (const char* name : {"actEditProfile", "actAddNewProfile", "actDeleteProfiles", "actRenameProfileExecute",
                                 "actProfileAdditional"})
            QVERIFY2(Act(frm.get(), name)->isEnabled(), name);
        auto* edit = Child<QPushButton>(frm.get(), "btnEditProfile");
        QVERIFY(edit->isEnabled());
        QVERIFY(edit->toolTip().contains("Ctrl+E"));
        QCOMPARE(edit->text(), QString("      Edit Profile"));
    }

    void languageMenuListsTheLanguageFiles()
    {
        // A second language whose display name differs from its file name.
        std::string text = qvtest::ReadFile(fx_->AppDir() + "langs/English.ini");
        auto replace = [&text](const std::string& from, const std::string& to) {
            const auto at = text.find(from);
            QVERIFY(at != std::string::npos);
            text.replace(at, from.size(), to);
        };
        replace("LanguageName=English", "LanguageName=Testish");
        replace("IDS_MAIN_BUTTON_Open=Select File", "IDS_MAIN_BUTTON_Open=Pick Files");
        qvtest::WriteFile(fx_->AppDir() + "langs/Other.ini", text);
        auto frm = fx_->NewWindow();
        auto* menu = Child<QMenu>(frm.get(), "mniLanguages");
        QStringList names;
        QAction* other = nullptr;
        for (QAction* a : menu->actions()) {
            names << a->text();
            if (a->text() == "Testish")
                other = a;
        }
        names.sort();
        QVERIFY(names.contains("Testish"));
        QVERIFY(other);
        QVERIFY(!other->isChecked());

        other->trigger();
        QVERIFY(other->isChecked());
        QCOMPARE(Child<QPushButton>(frm.get(), "btnOpen")->text(), QString("Pick Files"));
        TIniFile config(fx_->AppDir() + "config.ini");
        QCOMPARE(config.ReadString("DazadUVI_Form", "LanguageFile", ""), std::string("Other.ini"));
        QVERIFY(fx_->QuitCodes().empty());

        // Back to English for the other tests.
        for (QAction* a : menu->actions())
            if (a->text() == "English")
                a->trigger();
        QCOMPARE(Child<QPushButton>(frm.get(), "btnOpen")->text(), QString("Select File"));
        fs::remove(fx_->AppDir() + "langs/Other.ini");
        fs::remove_all(fx_->AppDir() + "langs/Other_Profile");
        fs::remove(fx_->AppDir() + "config.ini");
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
