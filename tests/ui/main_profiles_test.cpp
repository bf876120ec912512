// The profile commands of the main window driven through its actions and
// shortcuts, with the real profile editor and name dialog answered through
// the dialog hooks.

#include "main_fixture.h"

#include "platform/IniFile.h"
#include "profiles/RecordFields.h"
#include "profiles/profiles.h"
#include "ui/common/Busy.h"
#include "ui/common/ModalForm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include <functional>

class MainProfilesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainFixture> fx_;

    std::string Avi() const { return fx_->AppDir() + "langs/English_Profile/avi/"; }
    std::string Description(const std::string& file) const
    {
        return GetText(LoadRecord(0, Avi() + file), "Description");
    }
    static QString Current(TfrmMain& frm) { return Child<QComboBox>(&frm, "cmbAVI")->currentText(); }
    static QStringList Names(TfrmMain& frm)
    {
        QStringList names;
        auto* c = Child<QComboBox>(&frm, "cmbAVI");
        for (int i = 0; i < c->count(); ++i)
            names << c->itemText(i);
        return names;
    }
    // A shown, active window, so that its shortcuts reach their actions.
    std::unique_ptr<TfrmMain> Window()
    {
        auto frm = fx_->NewWindow();
        frm->show();
        frm->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(frm.get())); }();
        return frm;
    }
    static void Key(TfrmMain& frm, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&frm, static_cast<Qt::Key>(key), modifiers);
    }
    // The editor: checks its placement over the main window, then sets the
    // description and presses Save (or Close).
    void QueueEditor(TfrmMain& frm, const QString& description, bool save, QString* shown = nullptr,
                     int* busy = nullptr)
    {
        DialogHook::QueueFormDriver([&frm, description, save, shown, busy](QDialog& d) {
            // Centred with the size the editor has before it is shown (its
            // frame is known only afterwards).
            const QRect m = frm.frameGeometry(), e = d.frameGeometry();
            QCOMPARE(e.left(), m.left() + (m.width() - d.width()) / 2);
            QCOMPARE(e.top(), m.top() + (m.height() - d.height()) / 2);
            auto* edit = d.findChild<QLineEdit*>("EditDescription");
            const QString before = edit->text();
            if (shown)
                *shown = edit->text();
            if (busy) {
                *busy = BusyDepth();
                // The user edits under the normal cursor.
                QVERIFY(QApplication::overrideCursor());
                QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
            }
            edit->setText(description);
            // Closing with a changed description asks; the answer is Discard.
            if (!save && description != before)
                DialogHook::QueueAnswer(mrNo);
            d.findChild<QPushButton*>(save ? "btnSave" : "btnClose")->click();
        });
    }
    static void QueueName(const QString& name, QString* preset = nullptr)
    {
        DialogHook::QueueFormDriver([name, preset](QDialog& d) {
            auto* edit = d.findChild<QLineEdit*>("txtFileName");
            if (preset)
                *preset = edit->text();
            edit->setText(name);
            d.findChild<QPushButton*>("btnOK")->click();
        });
    }

    // The next question is shown and closed with Escape or its close box.
    static void QueueClosedQuestion(bool escape)
    {
        DialogHook::QueueAnswer([escape]() -> int {
            QDialog* question = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("dlgLocalizedMessage"))
                    question = qobject_cast<QDialog*>(w);
            if (!question)
                return mrYes;
            question->show();
            if (escape)
                QTest::keyClick(question, Qt::Key_Escape);
            else
                question->close();
            return question->isVisible() ? mrYes : question->result();
        });
    }

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fx_ = std::make_unique<TMainFixture>();
    }
    void cleanupTestCase() { fx_.reset(); }

    void init()
    {
        DialogHook::Clear();
        DialogHook::ClearFormDrivers();
        DialogHook::SetTestMode(true);
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=0\n");
        fs::remove_all(Avi());
        for (const char* name : {"a", "b"})
            qvtest::WriteFile(Avi() + name + ".avo", std::string("[General]\nDescription=") + name + "\n");
    }

    void commandsHaveTheirShortcutsInTheMenu()
    {
        auto frm = fx_->NewWindow();
        const std::pair<const char*, QKeySequence> actions[] = {
            {"actEditProfile", QKeySequence(Qt::CTRL | Qt::Key_E)},
            {"actAddNewProfile", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N)},
            {"actDeleteProfiles", QKeySequence(Qt::CTRL | Qt::Key_Delete)},
            {"actRenameProfileExecute", QKeySequence(Qt::Key_F2)},
        };
        for (const auto& [name, keys] : actions) {
            QAction* a = Act(frm.get(), name);
            QVERIFY2(a->isEnabled(), name);
            QCOMPARE(a->shortcut(), keys);
            QVERIFY2(a->isShortcutVisibleInContextMenu(), name);
        }
        auto* menu = Child<QMenu>(frm.get(), "mnuProfileAdditional");
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[0]->text(), QString("Add..."));
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2]->text(), QString("Delete..."));
        QCOMPARE(items[3]->text(), QString("Rename"));
        QCOMPARE(Child<QPushButton>(frm.get(), "btnEditProfile")->text(), QString("      Edit Profile"));
        QVERIFY(Child<QPushButton>(frm.get(), "btnEditProfile")->isEnabled());
    }

    void arrowButtonPopsTheMenuUpUnderIt()
    {
        auto frm = Window();
        auto* arrow = Child<QToolButton>(frm.get(), "btnNewEdit");
        auto* menu = Child<QMenu>(frm.get(), "mnuProfileAdditional");
        arrow->click();
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), arrow->mapToGlobal(QPoint(0, arrow->height())));
        menu->hide();
    }

    void addWithCtrlAltNSavesTheEditorsSettingsUnderTheNewName()
    {
        auto frm = Window();
        QString shown;
        QueueEditor(*frm, "made here", true, &shown);
        QString preset = "unset";
        QueueName("c", &preset);
        Key(*frm, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        QCOMPARE(shown, QString::fromStdString(IDS_NO_DESCRIPTION)); // the defaults
        QCOMPARE(preset, QString());
        QCOMPARE(Description("c.avo"), std::string("made here"));
        QCOMPARE(Names(*frm), QStringList({"a", "b", "c"}));
        QCOMPARE(Current(*frm), QString("c"));
    }

    void addOverAnExistingNameAsksFirst()
    {
        auto frm = Window();
        // No: the old file and the list stay.
        QueueEditor(*frm, "replacement", true);
        QueueName("a");
        DialogHook::QueueAnswer(mrNo);
        Act(frm.get(), "actAddNewProfile")->trigger();
        QCOMPARE(DialogHook::Last()->title, std::string("Overwrite file?"));
        QCOMPARE(DialogHook::Last()->captions, (std::vector<std::string>{"Yes", "No"}));
        QCOMPARE(Description("a.avo"), std::string("a"));
        QCOMPARE(Current(*frm), QString("a"));
        // Escape or the close box on the question: No as well.
        for (const bool escape : {true, false}) {
            QueueEditor(*frm, "replacement", true);
            QueueName("a");
            QueueClosedQuestion(escape);
            Act(frm.get(), "actAddNewProfile")->trigger();
            QCOMPARE(DialogHook::PendingAnswers(), 0);
            QCOMPARE(DialogHook::Last()->result, int(mrNo));
            QCOMPARE(Description("a.avo"), std::string("a"));
        }
        // Yes: replaced and selected.
        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        QueueEditor(*frm, "replacement", true);
        QueueName("a");
        DialogHook::QueueAnswer(mrYes);
        Act(frm.get(), "actAddNewProfile")->trigger();
        QCOMPARE(Description("a.avo"), std::string("replacement"));
        QCOMPARE(Current(*frm), QString("a"));
        // Closing the editor asks for no name.
        QueueEditor(*frm, "never", false);
        QueueName("never");
        Act(frm.get(), "actAddNewProfile")->trigger();
        QCOMPARE(DialogHook::PendingFormDrivers(), 1);
        DialogHook::ClearFormDrivers();
        QVERIFY(!fs::exists(Avi() + "never.avo"));
    }

    void editWithCtrlESavesToTheSelectedFileUnderTheBusyCursor()
    {
        auto frm = Window();
        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        QString shown;
        int busy = 0;
        QueueEditor(*frm, "edited", true, &shown, &busy);
        Key(*frm, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        QCOMPARE(shown, QString("b"));
        QCOMPARE(busy, 1);
        QCOMPARE(BusyDepth(), 0);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(Description("b.avo"), std::string("edited"));
        // Close keeps the file; the edit button runs the same command.
        QueueEditor(*frm, "dropped", false);
        Child<QPushButton>(frm.get(), "btnEditProfile")->click();
        QCOMPARE(Description("b.avo"), std::string("edited"));
        QCOMPARE(Current(*frm), QString("b"));
    }

    // Saving without a change writes every key as it was: a shipped profile,
    // and a user's copy from an older version holding bitrates that no
    // trackbar position stands for.
    void editKeepsEveryKeyOfAProfile_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("oldCopy"); // the selected file replaced by the format's old defaults
        QTest::addColumn<QStringList>("settings");
        QTest::newRow("shipped MP3 profile") << 13 << false << QStringList();
        QTest::newRow("old DVD PAL copy: 6000 kbps under the DVD preset key")
            << 3 << true
            << QStringList{"UsePresetFormats=1", "PresetType=2", "TargetFormat=2", "DVDAudioBitRatePreset=256"};
        QTest::newRow("old 3GP Default copy: 144 kbps H.263") << 2 << true << QStringList();
    }

    void editKeepsEveryKeyOfAProfile()
    {
        QFETCH(int, format);
        QFETCH(bool, oldCopy);
        QFETCH(QStringList, settings);
        auto frm = Window();
        frm->SelectOutputFormat(format);
        const std::string file = SelectedProfilePath(format);
        QVERIFY2(fs::exists(file), file.c_str());
        if (oldCopy) {
            TProfileRecord r = DefaultRecord(format);
            for (const QString& setting : settings) {
                const std::string key = setting.section('=', 0, 0).toStdString();
                const int value = setting.section('=', 1).toInt();
                const bool set = FindField(format, key)->Kind == TFieldKind::Flag ? SetField(r, key, value != 0)
                                 : FindField(format, key)->Kind == TFieldKind::Index
                                     ? SetField(r, key, static_cast<uint8_t>(value))
                                     : SetField(r, key, static_cast<int32_t>(value));
                QVERIFY2(set, key.c_str());
            }
            SaveRecord(r, file);
        }
        const std::string before = qvtest::ReadFile(file);
        DialogHook::QueueFormDriver([](QDialog& d) { d.findChild<QPushButton*>("btnSave")->click(); });
        Act(frm.get(), "actEditProfile")->trigger();
        QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        QCOMPARE(qvtest::ReadFile(file), before);
    }

    void renameWithF2SelectsTheNewNameAndNeverReplaces()
    {
        auto frm = Window();
        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        QString preset;
        QueueName("z", &preset);
        Key(*frm, Qt::Key_F2);
        QCOMPARE(preset, QString("b"));
        QVERIFY(!fs::exists(Avi() + "b.avo"));
        QCOMPARE(Description("z.avo"), std::string("b"));
        QCOMPARE(Current(*frm), QString("z"));
        // Onto an existing name: the message, both files, the list as it was.
        QueueName("a");
        Key(*frm, Qt::Key_F2);
        QCOMPARE(DialogHook::Last()->text, std::string("Rename failed! Please check whether a profile of that name already exists."));
        QCOMPARE(DialogHook::Last()->title, std::string("Rename failed"));
        QCOMPARE(Description("a.avo"), std::string("a"));
        QCOMPARE(Description("z.avo"), std::string("b"));
        QCOMPARE(Current(*frm), QString("z"));
    }

    void deleteWithCtrlDelAsksAndKeepsTheLastProfile()
    {
        auto frm = Window();
        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        DialogHook::QueueAnswer(mrNo);
        Key(*frm, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(DialogHook::Last()->text, std::string("Are you sure you want to delete profile \"b\"?"));
        QVERIFY(fs::exists(Avi() + "b.avo"));
        DialogHook::QueueAnswer(mrYes);
        Key(*frm, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(!fs::exists(Avi() + "b.avo"));
        QCOMPARE(Names(*frm), QStringList({"a"}));
        QCOMPARE(Current(*frm), QString("a"));
        DialogHook::Clear();
        Key(*frm, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(DialogHook::Shown().size(), size_t(1));
        QCOMPARE(DialogHook::Last()->text, std::string("This is the last profile; it cannot be deleted!"));
        QVERIFY(fs::exists(Avi() + "a.avo"));
    }

    // Profiles that another program (quorvex-cli, a file manager) adds,
    // renames or deletes while the window is open reach its list without a
    // restart; the selected profile stays selected while it exists.
    void profilesChangedOnDiskAppearWhileTheWindowIsOpen()
    {
        auto frm = Window();
        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        QCOMPARE(Current(*frm), QString("b"));
        const struct {
            const char* step;
            std::function<void()> change;
            QStringList names;
            QString current;
        } steps[] = {
            {"added", [&] { qvtest::WriteFile(Avi() + "0 first.avo", "[General]\nDescription=new\n"); },
             {"0 first", "a", "b"}, "b"},
            {"another renamed", [&] { fs::rename(Avi() + "a.avo", Avi() + "c.avo"); }, {"0 first", "b", "c"}, "b"},
            {"selected deleted", [&] { fs::remove(Avi() + "b.avo"); }, {"0 first", "c"}, "0 first"},
        };
        for (const auto& s : steps) {
            s.change();
            QTRY_COMPARE_WITH_TIMEOUT(Names(*frm), s.names, 5000);
            QVERIFY2(Current(*frm) == s.current, s.step);
            QCOMPARE(QString::fromStdString(ProfileLists[0].Text()), s.current);
        }
    }

    // A profile name is one name whatever its letter case: adding "A" asks
    // about a.avo and replaces it; the list keeps one entry and selects it.
    // Renaming onto the profile's own name is no change and no message.
    void nameInAnotherLetterCaseIsTheSameProfile()
    {
        auto frm = Window();
        QueueEditor(*frm, "replacement", true);
        QueueName("A");
        DialogHook::QueueAnswer(mrYes);
        Act(frm.get(), "actAddNewProfile")->trigger();
        QCOMPARE(DialogHook::Last()->title, std::string("Overwrite file?"));
        QVERIFY(DialogHook::Last()->text.find("\"" + Avi() + "a.avo\"") != std::string::npos);
        QCOMPARE(Description("a.avo"), std::string("replacement"));
        QVERIFY(!fs::exists(Avi() + "A.avo"));
        QCOMPARE(Names(*frm), QStringList({"a", "b"}));
        QCOMPARE(Current(*frm), QString("a"));

        const size_t shown = DialogHook::Shown().size();
        QueueName("a");
        Key(*frm, Qt::Key_F2);
        QCOMPARE(DialogHook::PendingFormDrivers(), 0);
        QCOMPARE(DialogHook::Shown().size(), shown);
        QCOMPARE(Description("a.avo"), std::string("replacement"));
        QCOMPARE(Current(*frm), QString("a"));

        Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
        QueueName("A");
        Key(*frm, Qt::Key_F2);
        QCOMPARE(DialogHook::Last()->title, std::string("Rename failed"));
        QCOMPARE(Description("b.avo"), std::string("b"));
        QCOMPARE(Current(*frm), QString("b"));
    }

    // The list opens on Default, not on the first name sorted; the window
    // remembers the user's choice per format across runs; a remembered name
    // that is gone gives Default again. The description follows the choice.
    void opensOnDefaultThenOnTheRememberedProfileWithItsDescription()
    {
        qvtest::WriteFile(Avi() + "Default.avo", "[General]\nDescription=the usual one\n");
        auto description = [](TfrmMain& frm) { return Child<QLabel>(&frm, "lblProfileDescription")->toolTip(); };
        {
            auto frm = Window();
            QCOMPARE(Names(*frm), QStringList({"a", "b", "Default"}));
            QCOMPARE(Current(*frm), QString("Default"));
            QCOMPARE(description(*frm), QString("the usual one"));
            Child<QComboBox>(frm.get(), "cmbAVI")->setCurrentIndex(1);
            QCOMPARE(description(*frm), QString("b"));
            // Another format shows its own profile's description.
            frm->SelectOutputFormat(13);
            QCOMPARE(description(*frm), QString::fromStdString(GetText(LoadRecord(13, SelectedProfilePath(13)),
                                                                       "Description")));
            QCOMPARE(Child<QComboBox>(frm.get(), "cmbMP3")->currentText(), QString("Default"));
            frm->SelectOutputFormat(0);
            QCOMPARE(description(*frm), QString("b"));
            Act(frm.get(), "actExit")->trigger();
        }
        QVERIFY(fx_->ReadOptions().find("LastProfile0=b\n") != std::string::npos);
        QVERIFY(fx_->ReadOptions().find("LastProfile13=Default\n") == std::string::npos); // never chosen
        {
            auto frm = Window();
            QCOMPARE(Current(*frm), QString("b"));
            QCOMPARE(description(*frm), QString("b"));
            // A profile added is the one chosen.
            QueueEditor(*frm, "new", true);
            QueueName("c");
            Act(frm.get(), "actAddNewProfile")->trigger();
            QCOMPARE(Current(*frm), QString("c"));
            QCOMPARE(description(*frm), QString("new"));
            QCOMPARE(Options.LastProfile[0], std::string("c"));
            Act(frm.get(), "actExit")->trigger();
        }
        fs::remove(Avi() + "c.avo");
        auto frm = Window();
        QCOMPARE(Current(*frm), QString("Default"));
    }

    void noFormatChosenMeansNoCommandDoesAnything()
    {
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=22\n");
        auto frm = Window();
        QueueEditor(*frm, "x", true);
        QueueName("x");
        for (const char* name : {"actEditProfile", "actAddNewProfile", "actDeleteProfiles", "actRenameProfileExecute"})
            Act(frm.get(), name)->trigger();
        QCOMPARE(DialogHook::PendingFormDrivers(), 2);
        QVERIFY(DialogHook::Shown().empty());
        DialogHook::ClearFormDrivers();
        QVERIFY(fs::exists(Avi() + "a.avo"));
        QVERIFY(fs::exists(Avi() + "b.avo"));
    }
};

QTEST_MAIN(MainProfilesTest)
#include "main_profiles_test.moc"
