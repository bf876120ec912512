// The GUI in German: choosing "Deutsch" in the Language menu turns the main
// window, a profile editor, the progress window and a Yes/No question into
// German, installs Qt's own German texts where Qt's translations are
// installed, and makes help open the German page.

#include "main_fixture.h"

#include "platform/IniFile.h"
#include "ui/common/QtTranslation.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/editors/ProfileEditor.h"

#include "support/WidgetLookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>

namespace {

QAction* LanguageItem(TfrmMain& frm, const QString& name)
{
    for (QAction* a : Child<QMenu>(&frm, "mniLanguages")->actions())
        if (a->text() == name)
            return a;
    return nullptr;
}

bool QtShipsGerman()
{
    return QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_de.qm");
}

QString YesButtonOfQt()
{
    QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No);
    return box.button(QDialogButtonBox::Yes)->text();
}

} // namespace

class GermanTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainFixture> fx_;
    std::unique_ptr<TfrmMain> frm_;
    std::vector<std::string> opened_;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fx_ = std::make_unique<TMainFixture>();
        FollowLanguageWithQtTranslation();
        SetUrlOpener([this](const QUrl& url) {
            opened_.push_back(url.toLocalFile().toStdString());
            return true;
        });
        QVERIFY2(QFileInfo::exists(QString::fromStdString(fx_->AppDir() + "langs/German.ini")),
                 "German.ini is not in the built program folder");
        frm_ = fx_->NewWindow();
        QCOMPARE(YesButtonOfQt(), QString("&Yes"));
        QAction* german = LanguageItem(*frm_, "Deutsch");
        QVERIFY(german);
        german->trigger();
        QVERIFY(german->isChecked());
        QVERIFY(fx_->QuitCodes().empty());
    }

    void cleanupTestCase()
    {
        // Back to English: Qt's own texts follow.
        if (QAction* english = LanguageItem(*frm_, "English"))
            english->trigger();
        QCOMPARE(QString::fromStdString(IDS_MESSAGE_BUTTON_Yes), QString("Yes"));
        QCOMPARE(YesButtonOfQt(), QString("&Yes"));
        frm_.reset();
        SetLanguageLoadedHandler({});
        InstallQtTranslation("");
        SetUrlOpener(nullptr);
        fx_.reset();
    }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
        opened_.clear();
    }

    void choiceIsStored()
    {
        TIniFile config(fx_->AppDir() + "config.ini");
        QCOMPARE(config.ReadString("DazadUVI_Form", "LanguageFile", ""), std::string("German.ini"));
        QCOMPARE(QString::fromStdString(LanguageLocale), QString("de"));
    }

    // A window built while German is in force ticks "Deutsch", although the
    // display name is not the file name.
    void germanIsTickedInANewWindow()
    {
        std::unique_ptr<TfrmMain> again = fx_->NewWindow();
        QAction* german = LanguageItem(*again, "Deutsch");
        QVERIFY(german);
        QVERIFY(german->isChecked());
    }

    void mainWindowIsGerman()
    {
        QCOMPARE(Child<QPushButton>(frm_.get(), "btnOpen")->text(), QString("Datei wählen"));
        QCOMPARE(Child<QPushButton>(frm_.get(), "btnConvert")->text().remove('&'), QString("Umwandeln"));
        QVERIFY(Child<QPushButton>(frm_.get(), "btnEditProfile")->text().contains("Profil bearbeiten"));
        QCOMPARE(Child<QAbstractButton>(frm_.get(), "btnOthers")->text().remove('&'), QString("Weitere"));
        // The profile lists come from the German tree, whose profiles have German descriptions.
        QVERIFY(QString::fromStdString(LanguageFilePath).endsWith("German.ini"));
        auto* avi = Child<QComboBox>(frm_.get(), "cmbAVI");
        QVERIFY(avi && avi->count() > 0);
        TIniFile profile(fx_->AppDir() + "langs/German_Profile/avi/Default.avo");
        QVERIFY(profile.ReadString("General", "Description", "").find("Bildgröße der Quelle") != std::string::npos);
    }

    void qtOwnTextsAreGerman()
    {
        if (!QtShipsGerman())
            QSKIP("Qt's German translation (qt6-translations-l10n) is not installed");
        QCOMPARE(QString::fromStdString(InstalledQtTranslation()), QString("de"));
        QCOMPARE(YesButtonOfQt(), QString("&Ja"));
    }

    // Locales Qt ships nothing for, or that are no plain locale name, leave
    // Qt's texts in English and remove the translation in force.
    void qtTranslationToleratesOtherLocales_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("empty") << "";
        QTest::newRow("not shipped by Qt") << "xx";
        QTest::newRow("a path") << "../../../tmp/de";
        QTest::newRow("with a dot") << "de.qm";
    }

    void qtTranslationToleratesOtherLocales()
    {
        QFETCH(QString, locale);
        const bool german = InstallQtTranslation("de");
        QCOMPARE(german, QtShipsGerman());
        QVERIFY(!InstallQtTranslation(locale.toStdString()));
        QCOMPARE(QString::fromStdString(InstalledQtTranslation()), QString());
        QCOMPARE(YesButtonOfQt(), QString("&Yes"));
        InstallQtTranslation(LanguageLocale); // back to the language in use
    }

    void profileEditorIsGerman()
    {
        auto editor = CreateProfileEditor(static_cast<int>(OutputFormatKind::AVI));
        QVERIFY(editor);
        QCOMPARE(editor->windowTitle(), QString("AVI-Profileditor"));
        const QString save = qvtest::Child<QPushButton>(*editor, "btnSave")->text();
        const QString close = qvtest::Child<QPushButton>(*editor, "btnClose")->text();
        QCOMPARE(save, QString("&Speichern"));
        QCOMPARE(close, QString("S&chließen"));
        auto* tabs = editor->findChild<QTabWidget*>();
        QVERIFY(tabs);
        QCOMPARE(tabs->tabText(0).remove('&'), QString("Allgemein"));
    }

    void progressWindowIsGerman()
    {
        TfrmProgress::SetTrayAvailableOverride(true);
        TfrmProgress form;
        QCOMPARE(form.windowTitle(), QString("Umwandlung läuft..."));
        QCOMPARE(qvtest::Child<QCheckBox>(form, "chkDelSource")->text(),
                 QString("Quelldatei nach dem Umwandeln in den Papierkorb verschieben"));
        QCOMPARE(qvtest::Child<QPushButton>(form, "btnCancel")->text().remove('&'), QString("Abbrechen"));
        QCOMPARE(qvtest::Child<QPushButton>(form, "btnTray")->text().remove('&'), QString("In den Infobereich"));
        // Without a notification area the button minimises, and says so.
        TfrmProgress::SetTrayAvailableOverride(false);
        TfrmProgress plain;
        QCOMPARE(qvtest::Child<QPushButton>(plain, "btnTray")->text().remove('&'), QString("Minimieren"));
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }

    // Deleting a profile asks a Yes/No question; answered No, nothing is deleted.
    void yesNoQuestionIsGerman()
    {
        auto* avi = Child<QComboBox>(frm_.get(), "cmbAVI");
        QVERIFY(avi->count() > 1);
        const int before = avi->count();
        QStringList buttons;
        DialogHook::QueueAnswer([&buttons] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<TLocalizedMessageDialog*>(w))
                    for (QPushButton* b : d->Buttons())
                        buttons << b->text().remove('&');
            return int(mrNo);
        });
        Act(frm_.get(), "actDeleteProfiles")->trigger();
        const TShownDialog* q = DialogHook::Last();
        QVERIFY(q);
        QCOMPARE(q->kind, TShownDialog::Localized);
        QCOMPARE(q->title, std::string("Profil löschen"));
        QVERIFY2(q->text.rfind("Möchten Sie das Profil „", 0) == 0, q->text.c_str());
        QCOMPARE(q->captions, (std::vector<std::string>{"Ja", "Nein"}));
        if (!buttons.isEmpty())
            QCOMPARE(buttons, (QStringList{"Ja", "Nein"}));
        QCOMPARE(avi->count(), before);
    }

    // Help opens the page of the language in use; without one, the English page.
    void helpFollowsTheLanguage()
    {
        Act(frm_.get(), "actHelpContent")->trigger();
        QCOMPARE(opened_.size(), size_t(1));
        QCOMPARE(QString::fromStdString(opened_.back()),
                 QString::fromStdString(fx_->AppDir() + "langs/German_help.html"));

        const std::string page = fx_->AppDir() + "langs/German_help.html";
        const std::string aside = fx_->Temp("German_help.html");
        fs::rename(page, aside);
        Act(frm_.get(), "actHelpContent")->trigger();
        fs::rename(aside, page);
        QCOMPARE(opened_.size(), size_t(2));
        QCOMPARE(QString::fromStdString(opened_.back()),
                 QString::fromStdString(fx_->AppDir() + "langs/English_help.html"));
    }
};

QTEST_MAIN(GermanTest)
#include "german_test.moc"
