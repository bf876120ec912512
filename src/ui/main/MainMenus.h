#pragma once

// The commands of the main window and the menus that offer them: the help
// menu with the languages, the two menus of the file list and the tray menu.
// The window connects the commands to what they do.

class QAction;
class QMenu;
class QWidget;

class TMainMenus {
public:
    // The commands belong to Window: their shortcuts work anywhere in it.
    explicit TMainMenus(QWidget* window);

    // The captions in the language in use.
    void ApplyTexts();

    QAction* actOpen = nullptr;
    QAction* actAdd = nullptr;
    QAction* actAddFolder = nullptr;
    QAction* actDelete = nullptr;
    QAction* actClearList = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actMoveUp = nullptr;
    QAction* actMoveDown = nullptr;
    QAction* actPlaySource = nullptr;
    QAction* actOpenDestinationFolder = nullptr;
    QAction* actBrowse = nullptr;
    QAction* actSettingsExecute = nullptr;
    QAction* actHelp = nullptr;
    QAction* actHelpContent = nullptr;
    QAction* actOnlineResources = nullptr;
    QAction* actTechnicalSupport = nullptr;
    QAction* actAbout = nullptr;
    QAction* actMin = nullptr;
    QAction* actExit = nullptr;
    QAction* actConvert = nullptr;
    QAction* actMore = nullptr;
    // Converted files: remove them from the list; their output.
    QAction* actClearFinished = nullptr;
    QAction* actPlayOutput = nullptr;
    QAction* actOpenOutputFolder = nullptr;

    QMenu* mnuHelp = nullptr;
    QMenu* mniLanguages = nullptr;
    QMenu* mnuListViewHaveFile = nullptr;
    QMenu* mnuListViewNoFile = nullptr;
    QMenu* mnuTray = nullptr;
    QAction* miTrayShowWindow = nullptr;
    QAction* miTrayExit = nullptr;

private:
    void CreateActions();
    void CreateMenus();
    void CreateListMenus();
    void CreateTrayMenu();

    QWidget* window_;
    // Context-menu items whose captions differ from their commands' texts.
    QAction* miAddFilesNoFile_ = nullptr;
    QAction* miHelpContentNoFile_ = nullptr;
    QAction* miSettingNoFile_ = nullptr;
    QAction* miAddFilesHaveFile_ = nullptr;
};
