// The stored list end to end: a window in a process of its own converts
// generated WAVs and is killed (SIGKILL) at chosen points; a new window over
// the same program folder shows the list as it was and continues the batch
// without converting a finished file again.

#include "main_fixture.h"

#include "engine/QueueStore.h"
#include "profiles/profiles.h"

#include <QLineEdit>
#include <QProcess>
#include <QTreeWidget>

#include <sys/stat.h>

namespace {

// The environment of the window process.
constexpr const char* ChildAppVar = "QV_QUEUE_CHILD_APP";
constexpr const char* ChildFilesVar = "QV_QUEUE_CHILD_FILES";
constexpr const char* ChildOutVar = "QV_QUEUE_CHILD_OUT";

int64_t ModifiedNs(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

std::string OutputOf(const std::string& out, const std::string& source)
{
    return out + fs::path(source).stem().string() + ".mp3";
}

} // namespace

class StoredQueueTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> powerCalls_;
    std::unique_ptr<TBatchSurroundings> surroundings_;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        surroundings_ = std::make_unique<TBatchSurroundings>(&powerCalls_);
    }

    void cleanupTestCase() { surroundings_.reset(); }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
    }

    // The window process of killedWindowIsContinuedAfterRestart: adds the
    // first file, then the others in a second command, and converts them
    // all to MP3. Skipped unless that test started it.
    void windowProcess()
    {
        const QByteArray app = qgetenv(ChildAppVar);
        if (app.isEmpty())
            QSKIP("run by killedWindowIsContinuedAfterRestart only");
        InitApplication(app.toStdString());
        LoadLanguage();
        const QStringList files = QString::fromLocal8Bit(qgetenv(ChildFilesVar)).split(QLatin1Char('\n'));
        auto frm = std::make_unique<TfrmMain>();
        frm->show();
        frm->DropFiles({files[0].toStdString()});
        std::vector<std::string> rest;
        for (int i = 1; i < files.size(); ++i)
            rest.push_back(files[i].toStdString());
        frm->DropFiles(rest);
        QCOMPARE(frm->FileCount(), int(files.size()));
        frm->SelectOutputFormat(13);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromLocal8Bit(qgetenv(ChildOutVar)));
        frm->ConvertFiles();
    }

    void killedWindowIsContinuedAfterRestart_data()
    {
        QTest::addColumn<QString>("killAt");
        QTest::addColumn<QStringList>("listed");    // after the restart (converted files stay listed)
        QTest::addColumn<QStringList>("finished");  // converted before the kill
        QTest::addColumn<QString>("profileChange"); // done to the batch's profile while the program is down
        QTest::newRow("during the second add command")
            << "add:2" << QStringList{"a.wav"} << QStringList{} << "";
        QTest::newRow("while the second file converts")
            << "start:2" << QStringList{"a.wav", "b.wav", "c.wav"} << QStringList{"a.wav"} << "deleted";
        QTest::newRow("between the commit of the second output and its state")
            << "commit:2" << QStringList{"a.wav", "b.wav", "c.wav"} << QStringList{"a.wav", "b.wav"} << "edited";
    }

    void killedWindowIsContinuedAfterRestart()
    {
        QFETCH(QString, killAt);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, finished);
        QFETCH(QString, profileChange);
        TMainFixture fx;
        if (!fs::exists(fx.AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx.MakeClip("clip.wav", false);
        QVERIFY(!clip.empty());
        const std::vector<std::string> sources = fx.CopyClip(clip, {"a.wav", "b.wav", "c.wav"});
        const std::string out = fx.Temp("out/");
        fs::create_directories(out);

        QProcess window;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ChildAppVar, QString::fromStdString(fx.AppDir()));
        env.insert(ChildFilesVar, QString::fromStdString(sources[0] + "\n" + sources[1] + "\n" + sources[2]));
        env.insert(ChildOutVar, QString::fromStdString(out));
        env.insert("QV_TEST_KILL_AT", killAt);
        window.setProcessEnvironment(env);
        window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        window.start(QCoreApplication::applicationFilePath(), {"windowProcess"});
        QVERIFY(window.waitForFinished(120000));
        QCOMPARE(window.exitStatus(), QProcess::CrashExit);

        for (const QString& name : finished)
            QVERIFY2(fs::exists(OutputOf(out, name.toStdString())), qPrintable(name));
        std::map<std::string, int64_t> written;
        for (const std::string& s : sources)
            written[s] = ModifiedNs(OutputOf(out, s));
        std::string profileFile;
        {
            TQueueStore look;
            QCOMPARE(look.Open(fx.AppDir() + "queue.db"), TQueueStore::TOpenResult::Opened);
            if (const auto batch = look.LastBatch())
                profileFile = batch->Setting(TBatchRecord::ProfileFileKey);
        }
        if (!profileChange.isEmpty())
            QVERIFY2(fs::exists(profileFile), profileFile.c_str());
        if (profileChange == "edited")
            fs::last_write_time(profileFile, fs::file_time_type::clock::now());
        if (profileChange == "deleted")
            fs::remove(profileFile);

        // The restart: the same program folder, so the same stored list.
        QueueFile = fx.AppDir() + "queue.db";
        auto frm = fx.NewWindow();
        QCOMPARE(DialogHook::UnansweredCount(), 0); // no message at start
        QStringList names;
        for (int i = 0; i < frm->FileCount(); ++i)
            names << QString::fromStdString(fs::path(frm->FilePathAt(i)).filename().string());
        QCOMPARE(names, listed);
        for (int i = 0; i < frm->FileCount(); ++i)
            QCOMPARE(frm->FileStateAt(i) == TFileState::Converted, finished.contains(names[i]));
        for (const TQueueEntry& e : frm->QueueStore().Entries())
            QVERIFY2(e.State != TFileState::Converting, e.Path.c_str());

        if (finished.isEmpty() && killAt.startsWith("add")) {
            // No batch ran: nothing to continue.
            QVERIFY(!frm->ResumeInterruptedBatch());
            QCOMPARE(int(DialogHook::Shown().size()), 0);
            return;
        }
        DialogHook::QueueAnswer(mrYes);
        QVERIFY(frm->ResumeInterruptedBatch());
        const TShownDialog* question = DialogHook::Shown().empty() ? nullptr : &DialogHook::Shown().front();
        QVERIFY(question);
        QVERIFY2(question->text.find(std::to_string(listed.size() - finished.size()) + " of its files") != std::string::npos,
                 question->text.c_str());
        QVERIFY2(question->text.find(out) != std::string::npos, question->text.c_str());
        QCOMPARE(question->text.find("has been changed") != std::string::npos, profileChange == "edited");
        QCOMPARE(question->text.find("no longer exists") != std::string::npos, profileChange == "deleted");
        // Asked once only.
        QVERIFY(!frm->ResumeInterruptedBatch());

        QCOMPARE(frm->FileCount(), int(sources.size()));
        for (int i = 0; i < frm->FileCount(); ++i)
            QCOMPARE(frm->FileStateAt(i), TFileState::Converted);
        for (const std::string& s : sources) {
            const std::string name = fs::path(s).filename().string();
            QVERIFY2(fs::exists(OutputOf(out, s)), name.c_str());
            if (finished.contains(QString::fromStdString(name)))
                QVERIFY2(ModifiedNs(OutputOf(out, s)) == written[s], ("converted again: " + name).c_str());
        }
        // A new start shows the same list, every file converted, and asks nothing.
        frm.reset();
        DialogHook::Clear();
        auto again = fx.NewWindow();
        QCOMPARE(again->FileCount(), int(sources.size()));
        for (int i = 0; i < again->FileCount(); ++i)
            QCOMPARE(again->FileStateAt(i), TFileState::Converted);
        QVERIFY(!again->ResumeInterruptedBatch());
        QCOMPARE(int(DialogHook::Shown().size()), 0);
    }

    // Every change of the list is stored; a new window shows it as it was,
    // failed files with their reason; a list that cannot be read is moved
    // aside with one message.
    void listSurvivesAndGarbageIsMovedAside()
    {
        TMainFixture fx;
        const std::string clip = fx.MakeClip("clip.wav", false);
        QVERIFY(!clip.empty());
        const std::vector<std::string> s = fx.CopyClip(clip, {"1.wav", "2.wav", "3.wav", "4.wav"});
        QueueFile = fx.AppDir() + "queue.db";
        {
            auto frm = fx.NewWindow();
            frm->AddFiles(s);
            frm->SelectListItem(3);
            Act(frm.get(), "actMoveUp")->trigger();  // 1 2 4 3
            frm->SelectListItem(0);
            Act(frm.get(), "actDelete")->trigger();  // 2 4 3
            frm->QueueStore().SetState(s[2], TFileState::Failed, {}, {}, "Error: the reason");
        }
        {
            auto frm = fx.NewWindow();
            QCOMPARE(ListPaths(*frm), (QStringList{QString::fromStdString(s[1]), QString::fromStdString(s[3]),
                                                  QString::fromStdString(s[2])}));
            QCOMPARE(frm->FileImageAt(2), 1);
            auto* list = Child<QTreeWidget>(frm.get(), "lsvFileName");
            QVERIFY(list->topLevelItem(2)->toolTip(0).contains("Error: the reason"));
            Act(frm.get(), "actClearList")->trigger();
        }
        {
            auto frm = fx.NewWindow();
            QCOMPARE(frm->FileCount(), 0);
        }
        qvtest::WriteFile(QueueFile, std::string(3000, '\x01'));
        DialogHook::Clear();
        auto frm = fx.NewWindow();
        QCOMPARE(frm->FileCount(), 0);
        QCOMPARE(int(DialogHook::Shown().size()), 1);
        QVERIFY2(DialogHook::Shown()[0].text.find("could not be read") != std::string::npos,
                 DialogHook::Shown()[0].text.c_str());
        QVERIFY(fs::exists(frm->QueueStore().MovedTo()));
        frm->AddFiles({s[0]});
        QCOMPARE(frm->QueueStore().Entries().size(), size_t(1));
        QueueFile.clear();
    }
};

QTEST_MAIN(StoredQueueTest)
#include "stored_queue_test.moc"
