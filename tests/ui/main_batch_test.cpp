// A real batch from the main window: two generated clips converted by the
// built encoder with the progress window open; and a long add that keeps the
// window's event loop turning.

#include "main_fixture.h"

#include "app/AppUtils.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "ui/dialogs/BatchHost.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/main/FileListItem.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QPointer>
#include <QTimer>
#include <QTextDocumentFragment>
#include <QTreeWidget>

class MainBatchTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> powerCalls_;
    std::unique_ptr<TBatchSurroundings> surroundings_;
    std::unique_ptr<TMainFixture> fx_;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        surroundings_ = std::make_unique<TBatchSurroundings>(&powerCalls_);
        fx_ = std::make_unique<TMainFixture>();
    }

    void cleanupTestCase()
    {
        fx_.reset();
        surroundings_.reset();
    }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
    }

    void batchOfTwoFilesThroughTheEncoder_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("extension");
        QTest::newRow("to AVI") << 0 << ".avi";
        QTest::newRow("to MP3") << 13 << ".mp3";
    }

    void batchOfTwoFilesThroughTheEncoder()
    {
        QFETCH(int, format);
        QFETCH(QString, extension);
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("clip.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"first clip.avi", "second%clip.avi"});
        const std::string out = fx_->Temp("out " + std::to_string(format) + "/");

        // A profile of the format with its defaults, in the temporary profile tree.
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(format);
        const std::string folder = AddTrailingBackslash(ProfileFolder(format));
        SaveFormatSettings(format, folder + "AAA Test." + ProfileExtension(ProfileFolderName(format)));
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=" + std::to_string(format) + "\nLastProfile" +
                          std::to_string(format) + "=AAA Test\n");

        auto frm = fx_->NewWindow();
        frm->show();
        QCOMPARE(frm->CurrentFormat(), format);
        // The combo box of the format opens on the remembered profile.
        static const char* const combos[16] = {"cmbAVI", "cmbMP4", "cmb3GP", "cmbMPEG", "cmbMOV", "cmbWMV",
                                               "cmbRM",  "cmbSWF", "cmbVOB", "cmbASF",  "cmbAAC", "cmbAC3",
                                               "cmbMP2", "cmbMP3", "cmbAMR", "cmbWAV"};
        QCOMPARE(Child<QComboBox>(frm.get(), combos[format])->currentText(), QString("AAA Test"));
        QVERIFY(QString::fromStdString(SelectedProfilePath(format)).endsWith("/AAA Test." +
                                                                           QString::fromStdString(ProfileExtension(ProfileFolderName(format)))));
        frm->AddFiles(sources);
        QCOMPARE(frm->FileCount(), 2);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));

        // The output folder does not exist: answer Yes to creating it.
        DialogHook::QueueAnswer(mrYes);
        bool progressSeen = false, hiddenInTray = false, restored = false;
        QString trayCaption;
        QPointer<QWidget> progress;
        QTimer watch;
        auto* trayMenu = Child<QMenu>(frm.get(), "mnuTray");
        auto* trayExit = Act(frm.get(), "miTrayExit");
        connect(&watch, &QTimer::timeout, [&] {
            if (progress && progress->isVisible() && frm->BatchRunning() && !progressSeen) {
                progressSeen = true;
                emit trayMenu->aboutToShow();
                trayCaption = trayExit->text();
                // Send to tray hides both windows behind the icon; "Show window" brings them back.
                QTest::mouseClick(progress->findChild<QPushButton*>("btnTray"), Qt::LeftButton);
                hiddenInTray = !frm->isVisible() && !progress->isVisible() && frm->TrayIcon()->isVisible();
                Act(frm.get(), "miTrayShowWindow")->trigger();
                restored = frm->isVisible() && progress->isVisible() && !frm->TrayIcon()->isVisible();
            }
        });
        frm->BatchStartedHook = [&](QWidget* view) {
            progress = view;
            watch.start(10);
        };
        Act(frm.get(), "actConvert")->trigger(); // returns when the batch is over
        watch.stop();

        QVERIFY(progressSeen);
        QCOMPARE(trayCaption, QString("Stop converting..."));
        QVERIFY(hiddenInTray);
        QVERIFY(restored);
        emit trayMenu->aboutToShow();
        QCOMPARE(trayExit->text(), QString("Exit"));
        QVERIFY(!progress); // released after the batch
        QVERIFY(!frm->BatchRunning());
        QCOMPARE(frm->FileCount(), 2);
        QVERIFY(AllConverted(*frm));
        for (const std::string& src : sources) {
            const std::string name = QFileInfo(QString::fromStdString(src)).completeBaseName().toStdString();
            const std::string output = out + name + extension.toStdString();
            QVERIFY2(fs::exists(output), output.c_str());
            QVERIFY(fs::file_size(output) > 0);
            QVERIFY(fs::exists(src)); // sources are kept unless asked otherwise
        }
        QCOMPARE(frm->LastBalloon(), IDS_MESSAGEBOX_TrayConvertComplete);
        QCOMPARE(Options.LastOutputOpenDir, out);
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        // The progress window asks whether the chosen action is offered; none is performed.
        for (const std::string& call : powerCalls_)
            QVERIFY2(call.rfind("CanPerform", 0) == 0, call.c_str());
        QTRY_COMPARE(Child<QLabel>(frm.get(), "lblStatus")->text(), QString("Summary: 2 files"));
    }

    // Two files at once: the progress window shows a line for each running
    // file in place of the single file's figures, the tray hint the batch.
    void twoFilesAtOnceHaveALineEach()
    {
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("jobs.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"job one.avi", "job two.avi", "job three.avi"});
        const std::string out = fx_->Temp("out jobs/");
        fs::create_directories(out);
        const int format = 13;
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(format);
        const std::string folder = AddTrailingBackslash(ProfileFolder(format));
        const std::string profile = folder + "AAA Jobs." + ProfileExtension(ProfileFolderName(format));
        SaveFormatSettings(format, profile);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nParallelJobs=2\n");

        auto frm = fx_->NewWindow();
        frm->show();
        frm->AddFiles(sources);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));
        QPointer<QWidget> progress;
        size_t mostLines = 0;
        QStringList namesSeen;
        bool singleFiguresHidden = true, batchHint = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (!progress || !progress->isVisible())
                return;
            size_t lines = 0;
            for (QWidget* row : progress->findChildren<QWidget*>("pnlRunningFile")) {
                if (!row->isVisibleTo(progress))
                    continue;
                ++lines;
                const QString name = row->findChild<QLabel*>("lblRunningName")->toolTip();
                if (!namesSeen.contains(name))
                    namesSeen << name;
            }
            if (lines == 2)
                singleFiguresHidden &= !progress->findChild<QProgressBar*>("prgStatus")->isVisibleTo(progress);
            mostLines = std::max(mostLines, lines);
            batchHint |= frm->TrayIcon()->toolTip().startsWith("Batch: ");
        });
        frm->BatchStartedHook = [&](QWidget* view) {
            progress = view;
            watch.start(5);
        };
        Act(frm.get(), "actConvert")->trigger(); // returns when the batch is over
        watch.stop();

        QCOMPARE(mostLines, size_t(2));
        QVERIFY(singleFiguresHidden);
        QVERIFY(batchHint);
        namesSeen.sort();
        QCOMPARE(namesSeen, (QStringList{"job one.avi", "job three.avi", "job two.avi"}));
        QCOMPARE(frm->FileCount(), 3);
        QVERIFY(AllConverted(*frm));
        for (const char* name : {"job one.mp3", "job two.mp3", "job three.mp3"})
            QVERIFY2(fs::exists(out + name), name);
        QCOMPARE(frm->LastBalloon(), IDS_MESSAGEBOX_TrayConvertComplete);
        // Later cases choose their own profile and convert one file at a time.
        fs::remove(profile);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\n");
    }

    void encoderNotesMakeOneWindowAfterTheBatch()
    {
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("notes.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"note one.avi", "note two.avi"});
        const std::string out = fx_->Temp("out notes/");
        fs::create_directories(out);

        // MP3 at 320 kbit/s and 22050 Hz: written at 160 kbit/s, with a note per file.
        const int format = 13;
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(format);
        Mp3Settings.AudioBitRateUseAutoSetMp3 = false;
        Mp3Settings.AudioBitRatePresetMp3 = 320;
        Mp3Settings.AudioSampleRateMp3 = 0;
        const std::string folder = AddTrailingBackslash(ProfileFolder(format));
        SaveFormatSettings(format, folder + "AAA Notes." + ProfileExtension(ProfileFolderName(format)));
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nLastProfile13=AAA Notes\n");

        auto frm = fx_->NewWindow();
        frm->show();
        frm->AddFiles(sources);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));
        Act(frm.get(), "actConvert")->trigger(); // returns when the batch is over

        QVERIFY(AllConverted(*frm)); // notes are no errors
        std::vector<TShownDialog> notices;
        for (const TShownDialog& d : DialogHook::Shown())
            if (d.title == IDS_MESSAGEBOX_NotesTitle)
                notices.push_back(d);
        QCOMPARE(notices.size(), size_t(1));
        const std::string& text = notices[0].text;
        QVERIFY2(text.find("note one.avi:") != std::string::npos, text.c_str());
        QVERIFY2(text.find("note two.avi:") != std::string::npos, text.c_str());
        const std::string note = "MP3 has no bitrate of 320 kbit/s at 22050 Hz; written at 160 kbit/s";
        const size_t first = text.find(note);
        QVERIFY2(first != std::string::npos, text.c_str());
        QVERIFY(text.find(note, first + 1) != std::string::npos);
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        QCOMPARE(frm->LastBalloon(), IDS_MESSAGEBOX_TrayConvertComplete);

        // The text of the window: grouped by file, bounded.
        std::vector<TFileNote> many;
        for (int i = 0; i < 40; ++i)
            many.push_back({"/a/" + std::to_string(i / 10) + ".avi", "note " + std::to_string(i)});
        const std::string summary = BatchNotesText(many, 30);
        QVERIFY(summary.find("3.avi:") == std::string::npos);
        QVERIFY(summary.find("note 29") != std::string::npos);
        QVERIFY(summary.find("note 30") == std::string::npos);
        QVERIFY(summary.find("(+10)") != std::string::npos);
        QCOMPARE(summary.find("0.avi:"), summary.rfind("0.avi:"));
    }

    // One file at a time, the first failing: no box waits for an answer while
    // files remain, every file is processed, and the failure is on its row
    // and in the one summary box at the end.
    void errorsOneAtATimeHoldNoFile()
    {
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("errors.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"err bad.avi", "err two.avi", "err three.avi"});
        const std::string out = fx_->Temp("out errors/");
        fs::create_directories(out);
        const int format = 13;
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(format);
        const std::string folder = AddTrailingBackslash(ProfileFolder(format));
        const std::string profile = folder + "AAA Errors." + ProfileExtension(ProfileFolderName(format));
        SaveFormatSettings(format, profile);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nParallelJobs=1\n");

        auto frm = fx_->NewWindow();
        frm->show();
        frm->AddFiles(sources);
        QCOMPARE(frm->FileCount(), 3);
        QTRY_COMPARE(frm->PendingFacts(), 0);
        // Damaged after it was listed: its conversion fails.
        qvtest::WriteFile(sources[0], std::string(4096, 'x'));
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));
        // Each box records how many files had ended when it came.
        std::vector<int> endedAtBox;
        for (int i = 0; i < 3; ++i)
            DialogHook::QueueAnswer([&] {
                endedAtBox.push_back(Options.DoneCount + Options.FailedCount);
                return int(mrOk);
            });
        Act(frm.get(), "actConvert")->trigger(); // returns when the batch is over

        QCOMPARE(endedAtBox, std::vector<int>{3});
        QCOMPARE(Options.DoneCount, 2);
        QCOMPARE(Options.FailedCount, 1);
        QVERIFY(fs::exists(out + "err two.mp3"));
        QVERIFY(fs::exists(out + "err three.mp3"));
        // The converted files stay listed with their outputs' names; the
        // failed one went to the end.
        QCOMPARE(frm->FileCount(), 3);
        auto* list = Child<QTreeWidget>(frm.get(), "lsvFileName");
        QCOMPARE(frm->FilePathAt(0), sources[1]);
        QCOMPARE(frm->FileStateAt(0), TFileState::Converted);
        QCOMPARE(list->topLevelItem(0)->text(ColState), QString("err two.mp3"));
        QCOMPARE(frm->FileStateAt(1), TFileState::Converted);
        QCOMPARE(list->topLevelItem(1)->text(ColState), QString("err three.mp3"));
        QCOMPARE(frm->FilePathAt(2), sources[0]);
        QCOMPARE(frm->FileStateAt(2), TFileState::Failed);
        QCOMPARE(frm->FileImageAt(2), 1);
        // The row's tooltip: the path, and under it why it failed.
        const QString tip = list->topLevelItem(2)->toolTip(0);
        QVERIFY2(Qt::mightBeRichText(tip), qPrintable(tip)); // wraps when long
        const QStringList tipLines = QTextDocumentFragment::fromHtml(tip).toPlainText().split('\n');
        QVERIFY2(tipLines.size() >= 2, qPrintable(tip));
        QCOMPARE(tipLines[0], QString::fromStdString(sources[0]));
        QVERIFY2(!tipLines[1].isEmpty(), qPrintable(tip));
        const TShownDialog* summary = DialogHook::Last();
        QVERIFY(summary);
        QCOMPARE(summary->title, IDS_MESSAGEBOX_Oops);
        QVERIFY2(summary->text.rfind(IDS_MESSAGEBOX_AnErrorOccurred, 0) == 0, summary->text.c_str());
        QVERIFY2(summary->text.find("err bad.avi: " + tipLines[1].toStdString()) != std::string::npos,
                 summary->text.c_str());
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        // The reason is the failed row's state, and its state's tooltip.
        QCOMPARE(list->topLevelItem(2)->text(ColState), tipLines[1]);
        DialogHook::Clear();

        // Convert again: only the failed file is taken; the converted ones
        // are not converted a second time.
        fs::remove(out + "err two.mp3");
        DialogHook::QueueAnswer([] { return int(mrOk); });
        Act(frm.get(), "actConvert")->trigger();
        QCOMPARE(Options.FileCount, 1);
        QCOMPARE(Options.FailedCount, 1);
        QVERIFY(!fs::exists(out + "err two.mp3"));
        QCOMPARE(frm->FileStateAt(0), TFileState::Converted);
        DialogHook::Clear();
        fs::remove(profile);
    }

    // Sorting by a column reorders the list, and a batch converts in the
    // new order; files added meanwhile go to the end.
    void conversionFollowsTheSortedList()
    {
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("order.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"ord c.avi", "ord A.avi", "ord b.avi"});
        const std::string out = fx_->Temp("out order/");
        fs::create_directories(out);
        const int format = 13;
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(format);
        const std::string folder = AddTrailingBackslash(ProfileFolder(format));
        const std::string profile = folder + "AAA Order." + ProfileExtension(ProfileFolderName(format));
        SaveFormatSettings(format, profile);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nParallelJobs=1\n");

        auto frm = fx_->NewWindow();
        frm->show();
        frm->AddFiles(sources);
        QTRY_COMPARE(frm->PendingFacts(), 0);
        auto* list = Child<QTreeWidget>(frm.get(), "lsvFileName");
        QHeaderView* header = list->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(ColName) + 5, header->height() / 2));
        QCOMPARE(ListPaths(*frm), (QStringList{QString::fromStdString(sources[1]), QString::fromStdString(sources[2]),
                                               QString::fromStdString(sources[0])}));
        std::vector<std::string> started;
        connect(frm->FileList(), &TFileListPanel::FileStateChanged, this,
                [&](const std::string& path, TFileState state, const std::string&) {
                    if (state == TFileState::Converting)
                        started.push_back(path);
                });
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));
        Act(frm.get(), "actConvert")->trigger();
        QCOMPARE(started, (std::vector<std::string>{sources[1], sources[2], sources[0]}));
        QCOMPARE(Options.DoneCount, 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(frm->FileStateAt(i), TFileState::Converted);
        // The setting that gives the old behaviour: converted files leave.
        Options.ClearConvertedFiles = true;
        Act(frm.get(), "actClearFinished")->trigger();
        QCOMPARE(frm->FileCount(), 0);
        frm->AddFiles(fx_->CopyClip(clip, {"ord d.avi"}));
        QTRY_COMPARE(frm->PendingFacts(), 0);
        Act(frm.get(), "actConvert")->trigger();
        QCOMPARE(Options.DoneCount, 1);
        QCOMPARE(frm->FileCount(), 0);
        Options.ClearConvertedFiles = false;
        DialogHook::Clear();
        fs::remove(profile);
    }

    // Adding returns at once; the facts are read while the event loop runs,
    // and the summary counts them as they come.
    // The question about an existing output: Yes, Skip, Cancel, Skip All,
    // Yes To All. Skip leaves the file out (no longer the whole batch);
    // Cancel, Escape and the close box convert and overwrite nothing.
    void overwriteQuestionOffersFiveAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("escape") << "escape";
        QTest::newRow("skip") << "skip";
        QTest::newRow("skip all") << "skip all";
    }

    void overwriteQuestionOffersFiveAnswers()
    {
        QFETCH(QString, answer);
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("clip.avi");
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx_->CopyClip(clip, {"asked.avi"});
        const std::string out = fx_->Temp("asked out/");
        fs::create_directories(out);
        qvtest::WriteFile(out + "asked.mp3", "older output");
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(13);
        SaveFormatSettings(13, AddTrailingBackslash(ProfileFolder(13)) + "AAA Test." +
                                   ProfileExtension(ProfileFolderName(13)));
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\nLastProfile13=AAA Test\n");
        auto frm = fx_->NewWindow();
        frm->show();
        frm->AddFiles(sources);
        QCOMPARE(frm->FileCount(), 1);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));

        if (answer == "escape") {
            DialogHook::QueueAnswer([] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* dialog = qobject_cast<QDialog*>(w);
                        dialog && dialog->objectName() == "dlgLocalizedMessage") {
                        QTest::keyClick(dialog, Qt::Key_Escape);
                        return dialog->result();
                    }
                return int(mrNone);
            });
        } else {
            DialogHook::QueueAnswer(answer == "cancel" ? mrCancel : answer == "skip" ? mrNo : mrNoToAll);
        }
        const bool skipped = answer.startsWith("skip");
        if (skipped)
            DialogHook::QueueAnswer(mrOk); // "Nothing was converted: every file was skipped."
        bool started = false;
        frm->BatchStartedHook = [&](QWidget*) { started = true; };
        Act(frm.get(), "actConvert")->trigger();

        const TShownDialog& question = DialogHook::Shown().front();
        QCOMPARE(question.captions, (std::vector<std::string>{"Yes", "Skip", "Cancel", "Skip All", "Yes To All"}));
        QCOMPARE(question.result, skipped ? (answer == "skip" ? int(mrNo) : int(mrNoToAll)) : int(mrCancel));
        QVERIFY(!started);
        QCOMPARE(qvtest::ReadFile(out + "asked.mp3"), std::string("older output"));
        QCOMPARE(frm->FileCount(), 1); // the source stays listed, not failed
        QCOMPARE(DialogHook::Shown().size(), size_t(skipped ? 2 : 1));
        if (skipped)
            QCOMPARE(DialogHook::Last()->text, IDS_MESSAGEBOX_AllSkipped);
        QCOMPARE(DialogHook::UnansweredCount(), 0);
    }

    void addingManyFilesKeepsTheWindowResponsive()
    {
        const std::string clip = fx_->MakeClip("many.avi");
        QVERIFY(!clip.empty());
        std::vector<std::string> names;
        for (int i = 0; i < 300; ++i)
            names.push_back("many " + std::to_string(1000 + i) + ".avi");
        const std::vector<std::string> paths = fx_->CopyClip(clip, names);

        auto frm = fx_->NewWindow();
        frm->show();
        QElapsedTimer timer;
        timer.start();
        frm->AddFiles(paths);
        const qint64 ms = timer.elapsed();
        QCOMPARE(frm->FileCount(), 300);
        // No fact was read on this thread: all 300 are still to come.
        QCOMPARE(frm->PendingFacts(), 300);
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(0);
        QTRY_COMPARE(frm->PendingFacts(), 0);
        ticker.stop();
        // The event loop ran while the facts were read.
        QVERIFY2(ticks >= 10, qPrintable(QString("timer ticks while reading: %1").arg(ticks)));
        qInfo("listing 300 files took %lld ms", ms);
        QTRY_COMPARE(Child<QLabel>(frm.get(), "lblStatus")->text(), QString("Summary: 300 files"));
        QCOMPARE(frm->FileItemAt(299)->VideoCount, std::string("1"));
    }
};

QTEST_MAIN(MainBatchTest)
#include "main_batch_test.moc"
