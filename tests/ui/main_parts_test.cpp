// The parts of the main window on their own, without the window around them:
// the file list panel as a batch's queue and the format band's choice.

#include "main_fixture.h"

#include "lang/Format.h"

#include "ui/main/FileListItem.h"
#include "ui/main/FileListPanel.h"
#include "ui/main/FormatBand.h"
#include "ui/main/MainBatch.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWidget>

class MainPartsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainFixture> fx_;
    std::string clip_;

private slots:
    void initTestCase()
    {
        fx_ = std::make_unique<TMainFixture>();
        DialogHook::SetTestMode(true);
        clip_ = fx_->MakeClip("clip.avi");
        QVERIFY2(!clip_.empty(), "ffmpeg could not generate a clip");
    }

    void cleanupTestCase() { fx_.reset(); }

    void listPanelServesAsTheQueue()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        const std::vector<std::string> files = fx_->CopyClip(clip_, {"a.avi", "b.avi", "c.avi"});
        panel.AddFiles(files);
        TMainFileQueue queue(panel);
        QCOMPARE(queue.Count(), 3);
        QCOMPARE(queue.FullName(0), files[0]);
        QCOMPARE(queue.SizeText(0), std::to_string(fs::file_size(files[0])));
        // Beyond the list: no file, no size.
        QCOMPARE(queue.FullName(3), std::string());
        QCOMPARE(queue.SizeText(3), std::string("0"));

        queue.OutputNameOf = [&](const std::string& source) { return source + ".mp3"; };
        queue.MoveFileToEnd(files[0]);
        queue.FileStarted(files[1], std::string());
        QCOMPARE(panel.FileStateAt(0), TFileState::Converting);
        QCOMPARE(queue.Count(), 3); // a converting file stays in the queue
        queue.RemoveFileByPath(files[1]);
        queue.RemoveFileByPath(fx_->MediaDir() + "missing.avi"); // nothing happens
        // The converted file leaves the queue, not the list.
        QCOMPARE(queue.Count(), 2);
        QCOMPARE(queue.FullName(0), files[2]);
        QCOMPARE(queue.FullName(1), files[0]);
        QCOMPARE(panel.FileCount(), 3);
        QCOMPARE(panel.FilePathAt(0), files[1]);
        QCOMPARE(panel.FileStateAt(0), TFileState::Converted);
        QCOMPARE(panel.EntryAt(0)->OutputPath, files[1] + ".mp3");
        QCOMPARE(panel.List()->topLevelItem(0)->text(ColState), QString("b.avi.mp3"));
        QCOMPARE(panel.FileImageAt(0), 2);

        queue.MarkAllFailed();
        QCOMPARE(panel.FileImageAt(0), 2); // the converted file keeps its mark
        QCOMPARE(panel.FileImageAt(1), 1);
        QCOMPARE(panel.FileImageAt(2), 1);
        QCOMPARE(panel.FileImageAt(3), -1);

        // Clearing the finished entries leaves the others in their order.
        panel.ClearFinished();
        QCOMPARE(panel.FileCount(), 2);
        QCOMPARE(panel.FilePathAt(0), files[2]);
        QCOMPARE(panel.FilePathAt(1), files[0]);
        QTRY_COMPARE(panel.PendingFacts(), 0);
    }

    // Every state a row can take: its text, its mark, whether a batch takes
    // it, and what clearing the finished entries does with it.
    void rowStatesShowAndDecideTheQueue_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("image");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("waiting") << int(TFileState::Waiting) << "" << "Waiting" << 0 << true << false;
        QTest::newRow("converting") << int(TFileState::Converting) << "" << "Converting: 0%" << 0 << true << false;
        QTest::newRow("converted: the output's name") << int(TFileState::Converted) << "/out/x y.mp3" << "x y.mp3" << 2
                                                      << false << true;
        QTest::newRow("failed: the reason's first line") << int(TFileState::Failed) << "no audio\nsecond" << "no audio"
                                                         << 1 << true << false;
        QTest::newRow("failed without a reason") << int(TFileState::Failed) << "" << "Failed" << 1 << true << false;
        QTest::newRow("skipped") << int(TFileState::Skipped) << "" << "Skipped" << 0 << false << true;
        QTest::newRow("stopped") << int(TFileState::Stopped) << "" << "Stopped" << 0 << true << false;
    }

    void rowStatesShowAndDecideTheQueue()
    {
        QFETCH(int, state);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(int, image);
        QFETCH(bool, converts);
        QFETCH(bool, cleared);
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        const std::vector<std::string> files = fx_->CopyClip(clip_, {"s1.avi", "s2.avi"});
        panel.AddFiles(files);
        panel.SetFileState(files[0], TFileState(state), text.toStdString());
        QTreeWidgetItem* row = panel.List()->topLevelItem(0);
        QCOMPARE(row->text(ColState), shown);
        QCOMPARE(panel.FileImageAt(0), image);
        if (TFileState(state) == TFileState::Failed && !text.isEmpty())
            QCOMPARE(row->toolTip(ColState), text); // the whole reason
        TMainFileQueue queue(panel);
        QCOMPARE(queue.Count(), converts ? 2 : 1);
        QCOMPARE(queue.FullName(0), converts ? files[0] : files[1]);
        panel.ClearFinished();
        QCOMPARE(panel.FileCount(), cleared ? 1 : 2);
        QTRY_COMPARE(panel.PendingFacts(), 0);
    }

    // The converted file leaves the list at once when the options say so.
    void convertedFilesLeaveWhenClearedAutomatically()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        const std::vector<std::string> files = fx_->CopyClip(clip_, {"auto1.avi", "auto2.avi"});
        panel.AddFiles(files);
        Options.ClearConvertedFiles = true;
        panel.SetFileState(files[0], TFileState::Converted, "/out/auto1.mp3");
        Options.ClearConvertedFiles = false;
        QCOMPARE(panel.FileCount(), 1);
        QCOMPARE(panel.FilePathAt(0), files[1]);
        QTRY_COMPARE(panel.PendingFacts(), 0);
    }

    // A click on a column's caption reorders the list itself: numbers by
    // value, names without regard to case; a second click reverses it, and
    // files added later go to the end.
    void sortingReordersTheListItself()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        const std::vector<std::string> files = fx_->CopyClip(clip_, {"b10.avi", "B2.avi", "a3.avi"});
        // Sizes 3000, 100, 20000: by size the order differs from by name.
        fs::resize_file(files[0], 3000);
        fs::resize_file(files[1], 100);
        fs::resize_file(files[2], 20000);
        panel.AddFiles(files);
        QCOMPARE(panel.FileCount(), 3);
        auto order = [&] {
            QStringList names;
            for (int i = 0; i < panel.FileCount(); ++i)
                names << QString::fromStdString(panel.FileItemAt(i)->FileName);
            return names.join(' ');
        };
        QHeaderView* header = panel.List()->header();
        const auto click = [&](int column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        };
        window.resize(900, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        click(ColSize);
        QCOMPARE(order(), QString("B2.avi b10.avi a3.avi"));
        click(ColSize);
        QCOMPARE(order(), QString("a3.avi b10.avi B2.avi"));
        // Names: numbers by value, letter case aside.
        click(ColName);
        QCOMPARE(order(), QString("a3.avi B2.avi b10.avi"));
        // The queue follows the new order.
        TMainFileQueue queue(panel);
        QCOMPARE(queue.FullName(0), files[2]);
        QCOMPARE(queue.FullName(2), files[0]);
        // Not kept sorted: a file added later goes to the end.
        panel.AddFiles(fx_->CopyClip(clip_, {"a0.avi"}));
        QCOMPARE(order(), QString("a3.avi B2.avi b10.avi a0.avi"));
        QTRY_COMPARE(panel.PendingFacts(), 0);
        // By duration: a file whose duration cannot be read (B2, cut to 100
        // bytes) comes first; equal ones by name.
        QCOMPARE(panel.EntryAt(1)->DurationMs, int64_t(-1));
        panel.SortByColumn(ColDuration, Qt::AscendingOrder);
        QCOMPARE(order(), QString("B2.avi a0.avi a3.avi b10.avi"));
    }

    // Files are listed at once; their facts arrive from the readers while the
    // event loop runs, and the media panel and summary follow.
    void factsArriveInTheBackground()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        body->addWidget(panel.Summary());
        panel.ApplyTexts();
        std::vector<std::string> names;
        for (int i = 0; i < 60; ++i)
            names.push_back("bg " + std::to_string(i) + ".avi");
        const std::vector<std::string> files = fx_->CopyClip(clip_, names);
        const std::string broken = fx_->MediaDir() + "bg broken.avi";
        qvtest::WriteFile(broken, std::string(4096, 'x'));
        DialogHook::Clear();
        panel.AddFiles(files);
        panel.AddFile(broken);
        // Listed before any fact is read: nothing was waited for.
        QCOMPARE(panel.FileCount(), 61);
        QCOMPARE(panel.PendingFacts(), 61);
        QVERIFY(!panel.EntryAt(0)->FactsKnown);
        QCOMPARE(panel.List()->topLevelItem(0)->text(ColDuration), QString());
        panel.SelectListItem(0);
        panel.RefreshListState();
        auto* play = window.findChild<QLabel*>("lblPlayTimeValue");
        QVERIFY(play);
        QCOMPARE(play->text(), QString::fromStdString(IDS_SuspensionPoint));
        QVERIFY2(panel.Summary()->text().contains("reading media facts"), qPrintable(panel.Summary()->text()));
        QTRY_COMPARE(panel.PendingFacts(), 0);
        QTRY_VERIFY(play->text() != QString::fromStdString(IDS_SuspensionPoint));
        QVERIFY(panel.EntryAt(0)->FactsKnown);
        QCOMPARE(panel.FileItemAt(0)->VideoCount, std::string("1"));
        QCOMPARE(panel.List()->topLevelItem(0)->text(ColDuration), QString("0:00:01"));
        // The damaged file left the list with one message.
        QCOMPARE(panel.FileCount(), 60);
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
        QCOMPARE(DialogHook::Last()->text, FormatText(IDS_MESSAGEBOX_FormatError, {broken}));
        QTRY_COMPARE(panel.Summary()->text(), QString("Summary: 60 files"));
        DialogHook::Clear();
    }

    // The selected file's facts are read before the queued ones: the panel
    // does not wait for thousands of other files.
    void selectedFileIsReadFirst()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFileListPanel panel(&window);
        body->addLayout(panel.Row());
        const std::string folder = fx_->MediaDir() + "first/";
        fs::create_directories(folder);
        std::vector<std::string> files;
        for (int i = 0; i < 1000; ++i) {
            files.push_back(folder + "f " + std::to_string(i) + ".avi");
            fs::create_hard_link(clip_, files.back());
        }
        panel.AddFiles(files);
        panel.SelectListItem(999);
        panel.RefreshListState();
        QTRY_VERIFY(panel.EntryAt(999)->FactsKnown);
        QVERIFY2(panel.PendingFacts() > 500, qPrintable(QString::number(panel.PendingFacts())));
        QTRY_COMPARE_WITH_TIMEOUT(panel.PendingFacts(), 0, 60000);
        QCOMPARE(panel.FileCount(), 1000);
    }

    void formatBandReadsBackEveryChoice()
    {
        QWidget window;
        auto* body = new QVBoxLayout(&window);
        TFormatBand band(&window);
        band.CreateFormatRow(body);
        band.CreateProfileRow(body);
        band.ApplyTexts();
        QCOMPARE(band.CurrentFormat(), -1);
        auto* stack = window.findChild<QStackedWidget*>("stkProfiles");
        QVERIFY(stack);
        QCOMPARE(stack->currentWidget()->objectName(), QString("pnlNoProfile"));
        const char* suffixes[] = {"AVI", "MP4", "3GP", "MPEG", "MOV", "WMV", "RM", "SWF",
                                  "VOB", "ASF", "AAC", "AC3", "MP2", "MP3", "AMR", "WAV",
                                  "MKV", "WEBM", "OPUS", "FLAC", "M4A", "OGG"};
        static_assert(std::size(suffixes) == OutputFormatCount);
        for (int f = 0; f < OutputFormatCount; ++f) {
            band.SelectOutputFormat(f);
            QCOMPARE(band.CurrentFormat(), f);
            QCOMPARE(int(Options.OutputFormat), f);
            QCOMPARE(stack->currentWidget()->objectName(), QString("cmb") + suffixes[f]);
        }
        // A format outside the range leaves the choice alone.
        band.SelectOutputFormat(OutputFormatCount);
        QCOMPARE(band.CurrentFormat(), OutputFormatCount - 1);
        // The row is at least as wide as nine buttons of the least width with their gaps.
        QVERIFY(band.FitFormatButtons() >= 9 * 74 + 8 * 6);
    }
};

QTEST_MAIN(MainPartsTest)
#include "main_parts_test.moc"
