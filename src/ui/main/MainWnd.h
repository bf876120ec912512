#pragma once

// The main window: the file list and its commands, the media panel, the
// output format and profile choice, the help, language and tray menus, and
// the Convert command that runs a batch over the list.

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/MediaInfo.h"

class QAction;
class QActionGroup;
class QComboBox;
class QFont;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class QToolButton;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TKestMultiLanguages;
class TfrmFileInfo;
class TfrmAbout;
class TSleepInhibitor;
class TRedirector;
class TQtDispatcher;
class TQtPrompter;
class TBatchDriver;
class TMainFileQueue;
struct TOptions;
class TMainBatchHost;

// One entry of the file list: the caption is the full path of the source,
// the media facts travel with the item.
class TFileListItem;

// The line the main window shows while destructive options are armed, such
// as "After the next batch: the converted source files will be deleted; the
// computer will shut down if no file fails"; empty when nothing is armed.
std::string ArmedActionsText(const TOptions& options);

// The lines a value of the media panel shows at Width: the text wrapped at
// word boundaries (anywhere inside a longer word), at most MaxLines; when more
// would be needed, the last line holds the rest cut short in the middle with
// "…", and Cut (when given) becomes true.
QStringList FactLines(const QString& text, const QFont& font, int width, int maxLines, bool* cut = nullptr);

class TfrmMain : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // False when the window could not be set up (profile folders could not
    // be created); the message has been shown and the program should end.
    bool StartedOk() const { return startedOk_; }

    // ---- File list ----
    void AddFile(const std::string& path);
    void AddFiles(const std::vector<std::string>& paths);
    // The item whose caption equals the path exactly; nothing when absent.
    void RemoveFileByPath(const std::string& path);
    void MoveFileToEnd(const std::string& path);
    void ClearFileList();
    void SelectListItem(int index);
    // Acts on the first selected item; up when up is true.
    void MoveListItem(bool up);
    void DeleteSelected();
    void SelectAll();
    void UpdateSummary();
    // Shows lblArmed while the stored options delete sources or run a power
    // action after the next batch, and hides it otherwise.
    void UpdateArmedLine();
    void ShowMediaFacts();
    // Files dropped from a file manager: folders are skipped.
    void DropFiles(const std::vector<std::string>& paths);
    // The open-files dialog; replace clears the list first.
    void OpenFilesDialog(bool replace);

    int FileCount() const;
    std::string FilePathAt(int index) const;
    const TFileItem* FileItemAt(int index) const;
    int FileImageAt(int index) const;
    void SetFileImage(int index, int image);
    std::vector<int> SelectedIndexes() const;

    // ---- Output format and profiles ----
    // index 0..15 of OutputFormatKind.
    void SelectOutputFormat(int format);
    void ApplyStoredFormat();
    // The format read back from the action states: -1 when none is chosen.
    int CurrentFormat() const;
    // Copies the profile lists into the sixteen combo boxes.
    void SyncProfileCombos();
    // The profile commands on the current format; nothing when none is chosen.
    enum class TProfileCommand { Add, Edit, Rename, Delete };
    void RunProfileCommand(TProfileCommand command);
    // Pops up the Add/Delete/Rename menu under the arrow button.
    void ShowProfileMenu();
    QString OutputFolderText() const;

    // ---- Texts and languages ----
    void BuildLanguageMenu();
    void ChooseLanguage(QAction* item);
    // False when the profile folders cannot be created.
    bool ApplyTexts();

    // ---- Commands ----
    void ConvertFiles();
    void Browse();
    void PlaySource();
    void OpenDestinationFolder();
    void HelpContent();
    void ShowMoreInformation();
    void ShowSettings();
    void ShowAbout();
    void Exit();

    // Whether a batch (and so a progress window) is running.
    bool BatchRunning() const { return batchRunning_; }
    // Shows the windows again and hides the tray icon.
    void RestoreFromTray();
    // The tray menu's second item: stop the batch (asking first) or close.
    void TrayExit();
    QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
    // The text of the last tray balloon of a batch (also when no tray exists).
    const std::string& LastBalloon() const { return lastBalloon_; }

    // Runs when the program must end (a language or profile folder failure, Exit).
    std::function<void(int code)> QuitHook;
    // Runs while a batch is running, once the progress window exists (tests).
    std::function<void(QWidget* progress)> BatchStartedHook;

    // Places the window in the middle of its screen's free area.
    void CenterOnScreen();

protected:
    void showEvent(QShowEvent* event) override;
    // The window manager's close button: the options are saved as by Exit.
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateControls();
    void CreateMenus();
    void CreateTray();
    void ConnectCommands();
    // Refreshes the summary, the media panel and its visibility once pending
    // events have run; many changes in a row give one refresh.
    void ScheduleRefresh();
    void RefreshListState();
    QString OpenDialogFilter() const;
    QTreeWidgetItem* FirstSelected() const;
    void ShowListMenu(const QPoint& pos);
    void ShowHelpMenu();
    void ShowOthersMenu();
    // "To Others" names the chosen other format and shows it as chosen.
    void UpdateOthersButton();
    // Widens the format buttons to their captions, the window to the row, and
    // makes it as tall as its rows need.
    void FitFormatButtons();
    // Saves the options before the program ends; false when the user chose
    // to stay after a failed save.
    bool SaveOptionsBeforeExit();
    void OpenLocalFile(const std::string& path);
    void Quit(int code);
    void RunBatchOnList();
    int IndexOfPath(const std::string& path) const;
    void CreateBatchMachinery();
    TBatchDriver& Driver();
    TFileListItem* ItemAt(int index) const;

    bool startedOk_ = true;
    bool batchRunning_ = false;
    bool refreshPending_ = false;
    bool placed_ = false;
    bool quitting_ = false;
    QPointer<QWidget> progress_;

    // Format actions in OutputFormatKind order, and the group's extra action.
    std::array<QAction*, 16> formatActions_{};
    QAction* actOthers_ = nullptr;
    std::array<QComboBox*, 16> profileCombos_{};
    std::array<QToolButton*, 8> formatButtons_{};

    // Controls.
    QWidget* pnlClient_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QToolButton* btnHelp_ = nullptr;
    QLabel* lblConvertTo_ = nullptr;
    QToolButton* btnOthers_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QToolButton* btnAddFile_ = nullptr;
    QToolButton* btnDeleteFile_ = nullptr;
    QToolButton* btnClearList_ = nullptr;
    QToolButton* btnMoveUp_ = nullptr;
    QToolButton* btnMoveDown_ = nullptr;
    QTreeWidget* lsvFileName_ = nullptr;
    QFrame* pnlMediaInfo_ = nullptr;
    QLabel* lblProFile_ = nullptr;
    QStackedWidget* stkProfiles_ = nullptr;
    QPushButton* btnEditProfile_ = nullptr;
    QToolButton* btnNewEdit_ = nullptr;
    QLabel* lblOutputDir_ = nullptr;
    QLineEdit* txtOutputDir_ = nullptr;
    QPushButton* btnOutputDir_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblArmed_ = nullptr;
    QPushButton* btnConvert_ = nullptr;
    QLabel* lblMore_ = nullptr;

    // Media panel: caption labels and value labels.
    struct TFactRow {
        QLabel* Caption = nullptr;
        QLabel* Value = nullptr;
        std::string* CaptionText = nullptr;
        std::string TFileItem::* Field = nullptr;
    };
    std::vector<TFactRow> factRows_;
    QLabel* lblGeneral_ = nullptr;
    QLabel* lblVideo_ = nullptr;
    QLabel* lblAudio_ = nullptr;

    // Actions.
    QAction* actOpen_ = nullptr;
    QAction* actAdd_ = nullptr;
    QAction* actDelete_ = nullptr;
    QAction* actClearList_ = nullptr;
    QAction* actSelectAll_ = nullptr;
    QAction* actMoveUp_ = nullptr;
    QAction* actMoveDown_ = nullptr;
    QAction* actPlaySource_ = nullptr;
    QAction* actOpenDestinationFolder_ = nullptr;
    QAction* actBrowse_ = nullptr;
    QAction* actSettingsExecute_ = nullptr;
    QAction* actHelp_ = nullptr;
    QAction* actHelpContent_ = nullptr;
    QAction* actOnlineResources_ = nullptr;
    QAction* actTechnicalSupport_ = nullptr;
    QAction* actAbout_ = nullptr;
    QAction* actMin_ = nullptr;
    QAction* actExit_ = nullptr;
    QAction* actConvert_ = nullptr;
    QAction* actMore_ = nullptr;
    QAction* actEditProfile_ = nullptr;
    QAction* actAddNewProfile_ = nullptr;
    QAction* actDeleteProfiles_ = nullptr;
    QAction* actRenameProfileExecute_ = nullptr;
    QAction* actProfileAdditional_ = nullptr;

    // Menus.
    QMenu* mnuHelp_ = nullptr;
    QMenu* mniLanguages_ = nullptr;
    QMenu* mnuOthers_ = nullptr;
    QMenu* mnuListViewHaveFile_ = nullptr;
    QMenu* mnuListViewNoFile_ = nullptr;
    QMenu* mnuProfileAdditional_ = nullptr;
    QMenu* mnuTray_ = nullptr;
    QAction* miTrayShowWindow_ = nullptr;
    QAction* miTrayExit_ = nullptr;
    // Context-menu items whose captions differ from their actions' texts.
    QAction* miAddFilesNoFile_ = nullptr;
    QAction* miHelpContentNoFile_ = nullptr;
    QAction* miSettingNoFile_ = nullptr;
    QAction* miAddFilesHaveFile_ = nullptr;

    QSystemTrayIcon* trayIcon_ = nullptr;
    // The batch machinery; the driver goes first when the window is destroyed,
    // the runner (which ends a child still running) before the dispatcher.
    std::unique_ptr<TQtDispatcher> dispatcher_;
    std::unique_ptr<TRedirector> runner_;
    std::unique_ptr<TQtPrompter> prompter_;
    std::unique_ptr<TMainFileQueue> queue_;
    std::unique_ptr<TMainBatchHost> host_;
    std::unique_ptr<TBatchDriver> driver_;
    friend class TMainBatchHost;

    std::unique_ptr<TKestMultiLanguages> languages_;
    std::unique_ptr<TSleepInhibitor> sleepInhibitor_;
    TfrmFileInfo* frmFileInfo_ = nullptr;
    TfrmAbout* frmAbout_ = nullptr;
    QString openFilter_;
    std::string lastBalloon_;
};
