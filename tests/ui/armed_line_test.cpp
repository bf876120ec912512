// The main window and the files it starts from: the line that says what the
// stored options will do after the next batch (deleting sources, a power
// action), an options.ini that cannot be read, and a deleted English file.

#include "main_fixture.h"
#include "support/WidgetLookup.h"

#include "app/AppUtils.h"
#include "platform/IniFile.h"
#include "profiles/profiles.h"
#include "lang/Format.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/dialogs/SettingsWnd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>
#include <map>
#include <sys/stat.h>

class ArmedLineTest : public QObject {
    Q_OBJECT

private:
    std::vector<std::string> powerCalls_;
    std::unique_ptr<TBatchSurroundings> surroundings_;
    std::unique_ptr<TMainFixture> fx_;

    static QLabel* Line(TfrmMain& frm) { return Child<QLabel>(&frm, "lblArmed"); }
    // Only questions whether an action is offered, no action.
    static bool NothingPerformed(const std::vector<std::string>& calls)
    {
        return std::all_of(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("CanPerform", 0) == 0; });
    }
    static QString Shown(TfrmMain& frm) { return Line(frm)->isVisibleTo(&frm) ? Line(frm)->text() : QString(); }

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

    // What a fresh window (a restart) shows for the stored options.
    void lineNamesWhatTheStoredOptionsWillDo_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("line");
        const QString prefix = "After the next batch: ";
        QTest::newRow("nothing armed") << "DeleteFileAfterProcessing=0\nShutdownWindowsWhenDone=0\nShutdownFlag=1"
                                       << "";
        QTest::newRow("delete only") << "DeleteFileAfterProcessing=1" << prefix + "the converted source files will be deleted";
        QTest::newRow("close") << "ShutdownWindowsWhenDone=1\nShutdownFlag=0" << prefix + "Quorvex will close if no file fails";
        QTest::newRow("shut down and delete")
            << "ShutdownWindowsWhenDone=1\nShutdownFlag=1\nDeleteFileAfterProcessing=1"
            << prefix + "the converted source files will be deleted; the computer will shut down if no file fails";
        QTest::newRow("log off") << "ShutdownWindowsWhenDone=1\nShutdownFlag=2" << prefix + "you will be logged off if no file fails";
        QTest::newRow("restart") << "ShutdownWindowsWhenDone=1\nShutdownFlag=3" << prefix + "the computer will restart if no file fails";
        QTest::newRow("hibernate") << "ShutdownWindowsWhenDone=1\nShutdownFlag=4" << prefix + "the computer will hibernate if no file fails";
        QTest::newRow("suspend") << "ShutdownWindowsWhenDone=1\nShutdownFlag=5" << prefix + "the computer will suspend if no file fails";
        // An action number that does nothing is not announced.
        QTest::newRow("unknown action") << "ShutdownWindowsWhenDone=1\nShutdownFlag=9" << "";
        QTest::newRow("action chosen, not armed") << "ShutdownWindowsWhenDone=0\nShutdownFlag=3" << "";
    }

    void lineNamesWhatTheStoredOptionsWillDo()
    {
        QFETCH(QString, options);
        QFETCH(QString, line);
        fx_->WriteOptions("[VideoConvertoptions]\n" + options.toStdString() + "\n");
        auto frm = fx_->NewWindow();
        frm->show();
        QCOMPARE(Shown(*frm), line);
        QCOMPARE(DialogHook::Shown().size(), size_t(0));
    }

    // OK in the settings window changes the line at once; Cancel leaves it.
    void settingsWindowChangesTheLine()
    {
        fx_->WriteOptions("[VideoConvertoptions]\nShutdownWindowsWhenDone=1\nShutdownFlag=1\n");
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(Shown(*frm).contains("shut down"));
        DialogHook::QueueFormDriver([](QDialog& d) {
            qvtest::Child<QComboBox>(d, "ComboBoxShutdownFlag")->setCurrentIndex(3);
            qvtest::Click(d, "ButtonOK");
        });
        Act(frm.get(), "actSettingsExecute")->trigger();
        QCOMPARE(Shown(*frm), QString("After the next batch: the computer will restart if no file fails"));
        QVERIFY(fx_->ReadOptions().find("ShutdownFlag=3") != std::string::npos);
        // The stored action survives a restart.
        auto again = fx_->NewWindow();
        QCOMPARE(Shown(*again), QString("After the next batch: the computer will restart if no file fails"));
    }

    // "Disarm" beside the line withdraws both armed options at once; the
    // line and the button go, and Exit stores the disarmed options.
    void disarmFromTheMainWindow()
    {
        fx_->WriteOptions("[VideoConvertoptions]\nShutdownWindowsWhenDone=1\nShutdownFlag=1\nDeleteFileAfterProcessing=1\n");
        auto frm = fx_->NewWindow();
        frm->show();
        auto* disarm = Child<QPushButton>(frm.get(), "btnDisarm");
        QVERIFY(Shown(*frm).contains("shut down"));
        QVERIFY(disarm->isVisibleTo(frm.get()));
        QCOMPARE(disarm->text(), QString("Disarm"));
        disarm->click();
        QCOMPARE(Shown(*frm), QString());
        QVERIFY(!disarm->isVisibleTo(frm.get()));
        QVERIFY(!Options.ShutdownWindowsWhenDone);
        QVERIFY(!Options.DeleteFileAfterProcessing);
        QVERIFY(NothingPerformed(powerCalls_));
        Act(frm.get(), "actExit")->trigger();
        const std::string stored = fx_->ReadOptions();
        QVERIFY(stored.find("ShutdownWindowsWhenDone=0") != std::string::npos);
        QVERIFY(stored.find("DeleteFileAfterProcessing=0") != std::string::npos);
    }

    // The actions the system does not offer (logind's "no" and "na") are
    // greyed in the settings window and the progress window, with its answer;
    // "challenge" (after authentication), log off and closing stay offered.
    void actionsTheSystemRefusesAreGreyed()
    {
        std::vector<std::string> calls;
        auto previous = SetPowerActions(std::make_unique<qvtest::TFakePower>(
            &calls, std::map<int, std::string>{{1, "no"}, {3, "challenge"}, {4, "na"}, {5, "yes"}}));
        TfrmSettings settings;
        auto* list = Child<QComboBox>(&settings, "ComboBoxShutdownFlag");
        auto* model = qobject_cast<QStandardItemModel*>(list->model());
        QVERIFY(model);
        const bool offered[] = {true, false, true, true, false, true};
        for (int action = 0; action < 6; ++action) {
            QCOMPARE(model->item(action)->isEnabled(), offered[action]);
            QCOMPARE(model->item(action)->toolTip().isEmpty(), offered[action]);
        }
        QVERIFY(model->item(1)->toolTip().contains("\"no\""));
        QVERIFY(model->item(4)->toolTip().contains("\"na\""));

        for (int action = 0; action < 6; ++action) {
            Options.ShutdownFlag = static_cast<uint8_t>(action);
            Options.ShutdownWindowsWhenDone = true;
            TfrmProgress progress;
            auto* box = Child<QCheckBox>(&progress, "chkShutdown");
            QCOMPARE(box->isEnabled(), offered[action]);
            QVERIFY(box->isChecked());
            QVERIFY(box->toolTip().startsWith(Q(ShutdownActionText(action))));
        }
        SetPowerActions(std::move(previous));
        QVERIFY(std::find(calls.begin(), calls.end(), "PowerOff") == calls.end());
    }

    // Ticking "Move source file to the Trash after encoding" in the progress window shows
    // the line on the main window while the batch runs; it stays armed after
    // the batch and, saved by Exit, after a restart.
    void progressCheckBoxArmsTheLineForTheNextBatches()
    {
        if (!fs::exists(fx_->AppDir() + "avcore.dll"))
            QSKIP("the built encoder is missing from QV_APP_DIR");
        const std::string clip = fx_->MakeClip("armed.avi");
        QVERIFY(!clip.empty());
        const std::string source = fx_->CopyClip(clip, {"to delete.avi"}).front();
        QVERIFY(BuildProfileFolders());
        DefaultFormatSettings(13);
        SaveFormatSettings(13, AddTrailingBackslash(ProfileFolder(13)) + "AAA Test." + ProfileExtension(ProfileFolderName(13)));
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\n");
        // The source goes to a Trash in the test's own folder.
        const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
        const bool hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(fx_->Temp("data")));
        struct TRestore {
            QByteArray value;
            bool set;
            ~TRestore() { set ? qputenv("XDG_DATA_HOME", value) : qunsetenv("XDG_DATA_HOME"); }
        } restore{oldDataHome, hadDataHome};

        auto frm = fx_->NewWindow();
        frm->show();
        QCOMPARE(Shown(*frm), QString());
        frm->AddFiles({source});
        QCOMPARE(frm->FileCount(), 1);
        const std::string out = fx_->Temp("armed-out/");
        fs::create_directories(out);
        Child<QLineEdit>(frm.get(), "txtOutputDir")->setText(QString::fromStdString(out));

        QString duringBatch;
        frm->BatchStartedHook = [&](QWidget* progress) {
            auto* box = progress->findChild<QCheckBox*>("chkDelSource");
            QVERIFY(box);
            box->setChecked(true);
            duringBatch = Shown(*frm);
        };
        Act(frm.get(), "actConvert")->trigger(); // returns when the batch is over
        const QString deleting = "After the next batch: the converted source files will be deleted";
        QCOMPARE(duringBatch, deleting);
        QCOMPARE(Shown(*frm), deleting);
        QVERIFY(!fs::exists(source)); // the option did what the line said
        QVERIFY(fs::exists(fx_->Temp("data/Trash/files/to delete.avi")));
        QVERIFY(NothingPerformed(powerCalls_));

        Act(frm.get(), "actExit")->trigger();
        QVERIFY(fx_->ReadOptions().find("DeleteFileAfterProcessing=1") != std::string::npos);
        auto restarted = fx_->NewWindow();
        QCOMPARE(Shown(*restarted), deleting);
    }

    // An options.ini that is a named pipe: the window says so once, runs with
    // the defaults and leaves the pipe in place, also on Exit.
    void refusedOptionsFileIsAnnouncedAndNeverWritten()
    {
        fx_->RemoveOptions();
        const std::string path = fx_->AppDir() + "options.ini";
        QCOMPARE(::mkfifo(path.c_str(), 0644), 0);
        auto frm = fx_->NewWindow();
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
        const TShownDialog& shown = DialogHook::Shown().front();
        QCOMPARE(QString::fromStdString(shown.text),
                 QString::fromStdString("The options file \"" + path
                                        + "\" was not read: it is not a regular file (a named pipe).\r\n\r\n"
                                          "The default options are used, and the file is left as it is."));
        QCOMPARE(shown.icon, TMsgIcon::Warning);
        QCOMPARE(Shown(*frm), QString());
        QCOMPARE(int(Options.OutputFormat), 0);

        Act(frm.get(), "actExit")->trigger();
        QCOMPARE(fx_->QuitCodes(), std::vector<int>{0});
        QCOMPARE(DialogHook::Shown().size(), size_t(1)); // no second message on Exit
        QVERIFY(fs::is_fifo(path));
        fs::remove(path);
    }

    // The English file written when it is missing carries everything the
    // start needs: two starts in a row both reach a working main window.
    void deletedEnglishFileStartsTwice()
    {
        const std::string english = fx_->AppDir() + "langs/English.ini";
        const std::string kept = fx_->Temp("English.ini.kept");
        fs::copy_file(english, kept, fs::copy_options::overwrite_existing);
        fs::remove(english);
        for (int start = 1; start <= 2; ++start) {
            ResetCatalogue();
            InitApplication(fx_->AppDir());
            QVERIFY2(LoadLanguage(), std::to_string(start).c_str());
            auto frm = fx_->NewWindow();
            QVERIFY(frm->StartedOk());
            QVERIFY(fx_->QuitCodes().empty());
            QCOMPARE(Child<QPushButton>(frm.get(), "btnOpen")->text(), QString("Select File"));
        }
        QVERIFY(fs::exists(english));
        fs::copy_file(kept, english, fs::copy_options::overwrite_existing);
        ResetCatalogue();
        QVERIFY(LoadLanguage());
    }
};

QTEST_MAIN(ArmedLineTest)
#include "armed_line_test.moc"
