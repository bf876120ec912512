#include "ui/main/MainMenus.h"

#include <QAction>
#include <QFont>
#include <QMenu>
#include <QWidget>

#include <string>
#include <utility>

#include "lang/MultiLanguages.h"
#include "ui/main/MainParts.h"

TMainMenus::TMainMenus(QWidget* window) : window_(window)
{
    CreateActions();
    CreateMenus();
    CreateTrayMenu();
}

void TMainMenus::CreateActions()
{
    actOpen = NewAction(window_, "actOpen");
    actAdd = NewAction(window_, "actAdd", QKeySequence(Qt::CTRL | Qt::Key_N));
    actAddFolder = NewAction(window_, "actAddFolder", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    actDelete = NewAction(window_, "actDelete", QKeySequence(Qt::Key_Delete));
    actClearList = NewAction(window_, "actClearList", QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    actSelectAll = NewAction(window_, "actSelectAll", QKeySequence(Qt::CTRL | Qt::Key_A));
    actMoveUp = NewAction(window_, "actMoveUp");
    actMoveDown = NewAction(window_, "actMoveDown");
    actPlaySource = NewAction(window_, "actPlaySource");
    actOpenDestinationFolder = NewAction(window_, "actOpenDestinationFolder");
    actBrowse = NewAction(window_, "actBrowse");
    actSettingsExecute = NewAction(window_, "actSettingsExecute", QKeySequence(Qt::CTRL | Qt::Key_T));
    actHelp = NewAction(window_, "actHelp");
    actHelpContent = NewAction(window_, "actHelpContent", QKeySequence(Qt::Key_F1));
    actOnlineResources = NewAction(window_, "actOnlineResources");
    actTechnicalSupport = NewAction(window_, "actTechnicalSupport");
    actAbout = NewAction(window_, "actAbout", QKeySequence(Qt::Key_F10));
    actMin = NewAction(window_, "actMin");
    actExit = NewAction(window_, "actExit");
    actConvert = NewAction(window_, "actConvert", QKeySequence(Qt::CTRL | Qt::Key_Return));
    actConvert->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    actMore = NewAction(window_, "actMore");
    actClearFinished = NewAction(window_, "actClearFinished");
    actPlayOutput = NewAction(window_, "actPlayOutput");
    actOpenOutputFolder = NewAction(window_, "actOpenOutputFolder");
}

void TMainMenus::CreateMenus()
{
    mnuHelp = NewNamed<QMenu>(window_, "mnuHelp");
    mnuHelp->addAction(actHelpContent);
    mnuHelp->addSeparator();
    mniLanguages = mnuHelp->addMenu(QString());
    mniLanguages->setObjectName(QStringLiteral("mniLanguages"));
    mnuHelp->addSeparator();
    mnuHelp->addAction(actOnlineResources);
    mnuHelp->addAction(actTechnicalSupport);
    mnuHelp->addSeparator();
    mnuHelp->addAction(actAbout);
    CreateListMenus();
}

void TMainMenus::CreateListMenus()
{
    // The two list menus; items with a caption of their own are separate
    // actions that trigger the command.
    auto alias = [](QMenu* menu, const char* name, QAction* target) {
        QAction* a = menu->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        QObject::connect(a, &QAction::triggered, target, &QAction::trigger);
        return a;
    };
    mnuListViewHaveFile = NewNamed<QMenu>(window_, "mnuListViewHaveFile");
    // Shown while the first selected file is converted.
    mnuListViewHaveFile->addAction(actPlayOutput);
    mnuListViewHaveFile->addAction(actOpenOutputFolder);
    mnuListViewHaveFile->addAction(actPlaySource);
    mnuListViewHaveFile->addAction(actOpenDestinationFolder);
    mnuListViewHaveFile->addSeparator();
    mnuListViewHaveFile->addAction(actDelete);
    mnuListViewHaveFile->addAction(actClearList);
    mnuListViewHaveFile->addAction(actClearFinished);
    mnuListViewHaveFile->addSeparator();
    miAddFilesHaveFile_ = alias(mnuListViewHaveFile, "miAddFilesHaveFile", actAdd);
    mnuListViewHaveFile->addAction(actAddFolder);
    mnuListViewHaveFile->addSeparator();
    mnuListViewHaveFile->addAction(actSelectAll);

    mnuListViewNoFile = NewNamed<QMenu>(window_, "mnuListViewNoFile");
    miAddFilesNoFile_ = alias(mnuListViewNoFile, "miAddFilesNoFile", actAdd);
    mnuListViewNoFile->addAction(actClearFinished);
    mnuListViewNoFile->addAction(actAddFolder);
    mnuListViewNoFile->addSeparator();
    miSettingNoFile_ = alias(mnuListViewNoFile, "miSetting", actSettingsExecute);
    mnuListViewNoFile->addSeparator();
    miHelpContentNoFile_ = alias(mnuListViewNoFile, "miHelpContentNoFile", actHelpContent);
}

void TMainMenus::CreateTrayMenu()
{
    mnuTray = NewNamed<QMenu>(window_, "mnuTray");
    miTrayShowWindow = mnuTray->addAction(QString());
    miTrayShowWindow->setObjectName(QStringLiteral("miTrayShowWindow"));
    QFont bold = miTrayShowWindow->font();
    bold.setBold(true);
    miTrayShowWindow->setFont(bold); // the default item
    miTrayExit = mnuTray->addAction(QString());
    miTrayExit->setObjectName(QStringLiteral("miTrayExit"));
}

void TMainMenus::ApplyTexts()
{
    // The Convert button's command, menu items and commands.
    const std::pair<QAction*, const std::string*> items[] = {
        {actConvert, &IDS_MAIN_ARBUTTON_Convert},
        {actOpen, &IDS_MAIN_BUTTON_Open},
        {actAdd, &IDS_MAIN_MENUITEM_AddFiles},
        {miAddFilesNoFile_, &IDS_MAIN_MENUITEM_AddFiles},
        {actDelete, &IDS_MAIN_MENUITEM_Delete},
        {actClearList, &IDS_MAIN_MENUITEM_ClearList},
        {actSelectAll, &IDS_MAIN_MENUITEM_SelectAll},
        {actMoveUp, &IDS_MAIN_HINT_MoveUp},
        {actMoveDown, &IDS_MAIN_HINT_MoveDown},
        {actPlaySource, &IDS_MAIN_MENUITEM_PlaySource},
        {actOpenDestinationFolder, &IDS_MAIN_MENUITEM_OpenDes},
        {actSettingsExecute, &IDS_MAIN_MENUITEM_Setting},
        {miSettingNoFile_, &IDS_MAIN_MENUITEM_Setting},
        {actHelpContent, &IDS_MAIN_MENUITEM_HelpContent},
        {miHelpContentNoFile_, &IDS_MAIN_MENUITEM_HelpContent},
        {actOnlineResources, &IDS_MAIN_MENUITEM_OnlineResources},
        {actTechnicalSupport, &IDS_MAIN_MENUITEM_TechnicalSupport},
        {actAbout, &IDS_MAIN_MENUITEM_About},
        {miTrayShowWindow, &IDS_MAIN_MENUITEM_ShowWindow},
        {miTrayExit, &IDS_MAIN_MENUITEM_ExitProgram},
        {actClearFinished, &IDS_MAIN_MENUITEM_ClearFinished},
        {actPlayOutput, &IDS_MAIN_MENUITEM_PlayOutput},
        {actOpenOutputFolder, &IDS_MAIN_MENUITEM_OpenOutputFolder},
    };
    for (const auto& [item, text] : items)
        item->setText(MenuText(*text));
    miAddFilesHaveFile_->setText(MenuText(IDS_MAIN_MENUITEM_AddFiles) + QStringLiteral("..."));
    actAddFolder->setText(MenuText(IDS_MAIN_MENUITEM_AddFolder) + QStringLiteral("..."));
    mniLanguages->setTitle(MenuText(IDS_MAIN_MENUITEM_Language));
}
