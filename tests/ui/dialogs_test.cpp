// The name, value, settings, file-information and about windows, driven
// through their object names.

#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "support/TempDir.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/AboutWnd.h"
#include "ui/dialogs/EnterValueWnd.h"
#include "ui/dialogs/FileInfoWnd.h"
#include "ui/dialogs/NameWnd.h"
#include "ui/dialogs/SettingsWnd.h"

#include "support/WidgetLookup.h"

#include <QCheckBox>
#include <QSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

using qvtest::Child;
using qvtest::Click;

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
    }

    // ---- name dialog ----

    void nameValidation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain name") << "abc" << true << "abc";
        QTest::newRow("blanks around are trimmed") << "  My profile  " << true << "My profile";
        QTest::newRow("only blanks") << "    " << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("colon") << "a:b" << false << "";
        const char* forbidden[] = {"\\", "/", ":", "*", "?", "\"", "<", ">", "|"};
        for (const char* c : forbidden)
            QTest::newRow(qPrintable(QString("forbidden %1").arg(c))) << QString("x%1y").arg(c) << false << "";
    }

    void nameValidation()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(QString, name);
        // The refusal is answered with Cancel once: the dialog stays open either way.
        DialogHook::QueueAnswer(mrCancel);
        TfrmName form;
        form.show();
        auto* edit = Child<QLineEdit>(form, "txtFileName");
        edit->setText(typed);
        Click(form, "btnOK");
        QCOMPARE(form.Accepted(), accepted);
        if (accepted) {
            QVERIFY(!form.isVisible());
            QCOMPARE(form.result(), int(mrOk));
            QCOMPARE(edit->text(), name);
            QVERIFY(DialogHook::Shown().empty());
        } else {
            QVERIFY(form.isVisible());
            QCOMPARE(DialogHook::Shown().size(), size_t(1));
            const TShownDialog& shown = DialogHook::Shown().front();
            QCOMPARE(shown.text, IDS_PROFILE_MESSAGEBOX_InvalidFileName);
            QCOMPARE(shown.title, IDS_PROFILE_MESSAGEBOX_InvalidFileNameTitle);
            QCOMPARE(shown.icon, TMsgIcon::Warning);
            QCOMPARE(shown.captions, (std::vector<std::string>{IDS_OK, IDS_Cancel}));
            QCOMPARE(edit->selectedText(), edit->text());
            // A corrected name is then accepted in the same dialog.
            edit->setText("fixed");
            Click(form, "btnOK");
            QVERIFY(form.Accepted());
        }
    }

    void nameDialogCancel()
    {
        TfrmName form;
        form.SetName("Old name");
        form.show();
        Click(form, "btnCancel");
        QVERIFY(!form.Accepted());
        QCOMPARE(form.result(), int(mrCancel));
        QCOMPARE(Child<QLabel>(form, "lblName")->text(), Q(IDS_NAME_LABEL_EnterName));
        QCOMPARE(form.windowTitle(), Q(IDS_NAME_FORM_ProfileName));
    }

    // ---- value dialog ----

    void valueValidation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("message");
        const QString range = Q(FormatText(IDS_INVAILD_VALUE_BETWEEN, {64, 9600}));
        auto position = [](int p) { return Q(FormatText(IDS_INVAILD_VALUE, {p})); };
        QTest::newRow("letter after digits: position 3") << "12a" << false << 0 << position(3);
        QTest::newRow("below the range") << "50" << false << 0 << range;
        QTest::newRow("lower bound included") << "64" << true << 64 << "";
        QTest::newRow("upper bound included") << "9600" << true << 9600 << "";
        QTest::newRow("just above the range") << "9601" << false << 0 << range;
        QTest::newRow("negative") << "-64" << false << 0 << range;
        QTest::newRow("empty: position 1") << "" << false << 0 << position(1);
        QTest::newRow("sign alone: position 2") << "-" << false << 0 << position(2);
        QTest::newRow("leading letter") << "a12" << false << 0 << position(1);
        QTest::newRow("decimal point") << "12.5" << false << 0 << position(3);
        QTest::newRow("beyond 32 bits") << "99999999999" << false << 0 << position(10);
        QTest::newRow("blanks around a number") << "  128 " << true << 128 << "";
    }

    void valueValidation()
    {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(int, value);
        QFETCH(QString, message);
        TfrmEnterValue form;
        form.Minimum = 64;
        form.Maximum = 9600;
        form.show();
        auto* edit = Child<QLineEdit>(form, "txtValue");
        edit->setText(typed);
        Click(form, "btnOK");
        QCOMPARE(form.Accepted(), accepted);
        if (accepted) {
            QCOMPARE(form.Value(), value);
            QVERIFY(!form.isVisible());
            QVERIFY(DialogHook::Shown().empty());
        } else {
            QVERIFY(form.isVisible());
            QCOMPARE(DialogHook::Shown().size(), size_t(1));
            QCOMPARE(Q(DialogHook::Shown()[0].text), message);
            QCOMPARE(Q(DialogHook::Shown()[0].title), Q(IDS_INVAILD_VALUE_TITLE));
            QCOMPARE(DialogHook::Shown()[0].icon, TMsgIcon::Warning);
            QCOMPARE(edit->selectedText(), edit->text());
        }
    }

    void askValue_data()
    {
        QTest::addColumn<QStringList>("entries"); // typed one after another, then OK each time
        QTest::addColumn<bool>("cancelAtEnd");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("messages");
        QTest::addColumn<bool>("okAsOpened"); // OK pressed first, on the text the dialog opened with
        QTest::newRow("cancel keeps the current value") << QStringList{} << true << 768 << 0 << false;
        QTest::newRow("valid value returned") << QStringList{"256"} << false << 256 << 0 << false;
        QTest::newRow("invalid then cancel keeps the current value")
            << QStringList{"12a", "50"} << true << 768 << 2 << false;
        QTest::newRow("invalid then valid") << QStringList{"12a", "9600"} << false << 9600 << 1 << false;
        QTest::newRow("OK on the value it opened with") << QStringList{} << false << 768 << 0 << true;
    }

    void askValue()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, cancelAtEnd);
        QFETCH(int, expected);
        QFETCH(int, messages);
        QFETCH(bool, okAsOpened);
        for (int i = 0; i < messages; ++i)
            DialogHook::QueueAnswer(mrOk);
        QString caption, message, opened, selected, range;
        DialogHook::QueueFormDriver([&](QDialog& d) {
            caption = d.windowTitle();
            message = Child<QLabel>(d, "lblDisplayMessage")->text();
            opened = Child<QLineEdit>(d, "txtValue")->text();
            selected = Child<QLineEdit>(d, "txtValue")->selectedText();
            range = Child<QLabel>(d, "lblRange")->text();
            if (okAsOpened)
                Click(d, "btnOK");
            for (const QString& e : entries) {
                Child<QLineEdit>(d, "txtValue")->setText(e);
                Click(d, "btnOK");
            }
            if (cancelAtEnd)
                Click(d, "btnCancel");
        });
        const int32_t r = AskValue(nullptr, IDS_ENTER_VIDEOBITRATE_TITLE, IDS_ENTER_VIDEOBITRATE, 768, 9600, 64);
        QCOMPARE(r, expected);
        QCOMPARE(caption, Q(IDS_ENTER_VIDEOBITRATE_TITLE));
        QCOMPARE(message, Q(IDS_ENTER_VIDEOBITRATE));
        // It opens on the current value, selected so that typing replaces it,
        // and names the bounds.
        QCOMPARE(opened, QStringLiteral("768"));
        QCOMPARE(selected, QStringLiteral("768"));
        QCOMPARE(range, QStringLiteral("Allowed: 64 to 9600"));
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        QCOMPARE(DialogHook::PendingAnswers(), 0);
    }

    // ---- settings window ----

    void settingsCancelLeavesOptionsFileUntouched()
    {
        qvtest::TempDir dir;
        InitApplication(dir.dir());
        LoadOptions(); // writes the defaults
        const std::string before = qvtest::ReadFile(OptionsFile);
        QVERIFY(!before.empty());
        const TOptions saved = Options;

        TfrmSettings form;
        form.show();
        Child<QComboBox>(form, "ComboBoxPriority")->setCurrentIndex(3);
        Child<QComboBox>(form, "ComboBoxShutdownFlag")->setCurrentIndex(5);
        Child<QCheckBox>(form, "CheckBoxDirectShow")->setChecked(!saved.UseDirectShow);
        Click(form, "ButtonCancel");
        QCOMPARE(form.result(), int(mrCancel));
        QCOMPARE(qvtest::ReadFile(OptionsFile), before);
        QCOMPARE(Options.Priority, saved.Priority);
        QCOMPARE(Options.ShutdownFlag, saved.ShutdownFlag);
        QCOMPARE(Options.UseDirectShow, saved.UseDirectShow);
    }

    void settingsOkStoresChoices_data()
    {
        QTest::addColumn<int>("priority");
        QTest::addColumn<int>("flag");
        QTest::addColumn<bool>("directShow");
        QTest::addColumn<int>("jobs");
        QTest::addColumn<bool>("clearConverted");
        QTest::newRow("Realtime, suspend, DirectShow, 4 at once") << 3 << 5 << true << 4 << false;
        QTest::newRow("Idle, close the program, one per core, converted files cleared") << 0 << 0 << false << 0 << true;
    }

    void settingsOkStoresChoices()
    {
        QFETCH(int, priority);
        QFETCH(int, flag);
        QFETCH(bool, directShow);
        QFETCH(int, jobs);
        QFETCH(bool, clearConverted);
        qvtest::TempDir dir;
        InitApplication(dir.dir());
        LoadOptions();
        DialogHook::QueueFormDriver([&](QDialog& d) {
            Child<QComboBox>(d, "ComboBoxPriority")->setCurrentIndex(priority);
            Child<QComboBox>(d, "ComboBoxShutdownFlag")->setCurrentIndex(flag);
            Child<QCheckBox>(d, "CheckBoxDirectShow")->setChecked(directShow);
            Child<QSpinBox>(d, "SpinEditParallelJobs")->setValue(jobs);
            Child<QCheckBox>(d, "CheckBoxClearConverted")->setChecked(clearConverted);
            Click(d, "ButtonOK");
        });
        const std::string before = qvtest::ReadFile(OptionsFile);
        QCOMPARE(TfrmSettings::Execute(nullptr), int(mrOk));
        QCOMPARE(int(Options.Priority), priority);
        QCOMPARE(int(Options.ShutdownFlag), flag);
        QCOMPARE(Options.UseDirectShow, directShow);
        QCOMPARE(Options.ParallelJobs, jobs);
        QCOMPARE(Options.ClearConvertedFiles, clearConverted);
        // The window hands the choice back; storing it is the caller's part.
        QCOMPARE(qvtest::ReadFile(OptionsFile), before);
        Options = TOptions();
    }

    void settingsListsShowTitleAndStoredValues()
    {
        Options.Priority = 2;
        Options.ShutdownFlag = 4;
        Options.UseDirectShow = true;
        Options.ParallelJobs = 3;
        Options.ClearConvertedFiles = true;
        TfrmSettings form;
        QVERIFY(Child<QCheckBox>(form, "CheckBoxClearConverted")->isChecked());
        QCOMPARE(Child<QSpinBox>(form, "SpinEditParallelJobs")->value(), 3);
        QCOMPARE(Child<QSpinBox>(form, "SpinEditParallelJobs")->maximum(), MaxParallelJobs);
        auto* priority = Child<QComboBox>(form, "ComboBoxPriority");
        auto* flag = Child<QComboBox>(form, "ComboBoxShutdownFlag");
        QCOMPARE(priority->count(), 4);
        QCOMPARE(priority->itemText(3), Q(IDS_SETTINGS_COMBOBOX_Realtime));
        QCOMPARE(flag->count(), 6);
        QCOMPARE(flag->itemText(0), Q(FormatText(IDS_SETTINGS_COMBOBOX_Close, {ApplicationTitle})));
        QVERIFY(flag->itemText(0).contains(Q(ApplicationTitle)));
        QCOMPARE(priority->currentIndex(), 2);
        QCOMPARE(flag->currentIndex(), 4);
        QVERIFY(Child<QCheckBox>(form, "CheckBoxDirectShow")->isChecked());
        // The Windows names say what they do here.
        QVERIFY(Child<QCheckBox>(form, "CheckBoxDirectShow")->toolTip().contains("DirectShow.avs"));
        QVERIFY(priority->toolTip().contains("Idle (19), Normal (0), High (-10), Realtime (-20)"));
        QVERIFY(priority->toolTip().contains("privileges"));
        // A stored value beyond the list selects nothing, and OK keeps it.
        Options.Priority = 9;
        form.LoadFromOptions();
        QCOMPARE(priority->currentIndex(), -1);
        form.StoreToOptions();
        QCOMPARE(int(Options.Priority), 9);
        Options = TOptions();
    }

    // ---- file information ----

    void fileInfoSavesLinesWithCrLf_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF lines") << "General\nFormat : AVI\n" << QByteArray("General\r\nFormat : AVI\r\n");
        QTest::newRow("CR LF lines, no final break") << "General\r\nFormat : AVI" << QByteArray("General\r\nFormat : AVI\r\n");
        QTest::newRow("empty lines kept") << "A\n\nB\n" << QByteArray("A\r\n\r\nB\r\n");
        QTest::newRow("non-ASCII text") << QString::fromUtf8("Name : vidéo\n") << QByteArray("Name : vid\xC3\xA9o\r\n");
    }

    void fileInfoSavesLinesWithCrLf()
    {
        QFETCH(QString, report);
        QFETCH(QByteArray, file);
        qvtest::TempDir dir;
        const std::string path = dir.file("report.txt");
        TfrmFileInfo form;
        form.SetReport(report);
        DialogHook::QueueFileAnswer(path);
        Click(form, "btnSave");
        QCOMPARE(QByteArray::fromStdString(qvtest::ReadFile(path)), file);
        QVERIFY(DialogHook::Shown().size() == 1); // the save dialog only, no error
    }

    void fileInfoWindow()
    {
        qvtest::TempDir dir;
        TfrmFileInfo form;
        auto* memo = Child<QPlainTextEdit>(form, "mmoInfo");
        QVERIFY(memo->isReadOnly());
        QCOMPARE(form.windowTitle(), Q(IDS_FILEINFORMATION_FORM_Caption));
        QCOMPARE(Child<QPushButton>(form, "btnSave")->text(), Q(IDS_FILEINFORMATION_BUTTTON_SaveFielInfo));
        DialogHook::QueueFormDriver([](QDialog& d) { Click(d, "btnOK"); });
        QCOMPARE(form.ShowReport("clip.avi", "General\n"), int(mrOk));
        QCOMPARE(form.windowTitle(), Q(FormatText(IDS_LABEL_FileInformation, {std::string("clip.avi")})));
        QCOMPARE(memo->toPlainText(), QString("General\n"));

        // A cancelled save writes nothing; a save into a missing folder reports it.
        DialogHook::QueueFileAnswer("");
        Click(form, "btnSave");
        DialogHook::QueueFileAnswer(dir.file("missing/folder/x.txt"));
        Click(form, "btnSave");
        QCOMPARE(DialogHook::Shown().size(), size_t(3));
        QCOMPARE(DialogHook::Shown()[2].kind, TShownDialog::MessageBox);
        QCOMPARE(DialogHook::Shown()[2].icon, TMsgIcon::Error);
        // A name without extension gets ".txt".
        DialogHook::QueueFileAnswer(dir.file("named"));
        Click(form, "btnSave");
        QVERIFY(QFileInfo::exists(Q(dir.file("named.txt"))));
    }

    // ---- about ----

    void aboutWindow()
    {
        std::vector<QUrl> opened;
        SetUrlOpener([&](const QUrl& u) {
            opened.push_back(u);
            return true;
        });
        TfrmAbout form;
        QSignalSpy helpAsked(&form, &TfrmAbout::OnlineResourcesRequested);
        QCOMPARE(Child<QLabel>(form, "lblTitle")->text(), Q(ApplicationTitle));
        QCOMPARE(Child<QLabel>(form, "lblVersion")->text(), Q(IDS_ABOUT_LABEL_Version) + " " + QV_VERSION);
        QVERIFY(!Child<QLabel>(form, "imgAbout")->pixmap().isNull());
        // The licence and the homepage, which opens when followed.
        QVERIFY(Child<QLabel>(form, "lblLicence")->text().contains("GNU General Public License, version 3 or later"));
        auto* homepage = Child<QLabel>(form, "lblHomepage");
        QVERIFY(homepage->text().contains("https://github.com/quorvex/quorvex"));
        emit homepage->linkActivated(QStringLiteral("https://github.com/quorvex/quorvex"));
        Click(form, "btnTechnicalSupport");
        Click(form, "btnOnlineResources");
        SetUrlOpener({});
        // Support is the issues page; "Online Resources" leaves the help page
        // to the owner, so no third address is opened.
        QCOMPARE(opened.size(), size_t(2));
        QCOMPARE(opened[0], QUrl("https://github.com/quorvex/quorvex"));
        QCOMPARE(opened[1], QUrl("https://github.com/quorvex/quorvex/issues"));
        QCOMPARE(helpAsked.size(), 1);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
