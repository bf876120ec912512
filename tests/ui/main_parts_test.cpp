// The parts of the main window on their own, without the window around them:
// the file list panel as a batch's queue and the format band's choice.

#include "main_fixture.h"

#include "ui/main/FileListPanel.h"
#include "ui/main/FormatBand.h"
#include "ui/main/MainBatch.h"

#include <QAction>
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

        queue.MoveFileToEnd(files[0]);
        queue.RemoveFileByPath(files[1]);
        queue.RemoveFileByPath(fx_->MediaDir() + "missing.avi"); // nothing happens
        QCOMPARE(queue.Count(), 2);
        QCOMPARE(queue.FullName(0), files[2]);
        QCOMPARE(queue.FullName(1), files[0]);

        queue.MarkAllFailed();
        for (int i = 0; i < panel.FileCount(); ++i)
            QCOMPARE(panel.FileImageAt(i), 1);
        QCOMPARE(panel.FileImageAt(2), -1);
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
                                  "VOB", "ASF", "AAC", "AC3", "MP2", "MP3", "AMR", "WAV"};
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
