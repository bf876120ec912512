#pragma once

// The main window: the file list and its commands, the media panel, the
// output format and profile choice, the help, language and tray menus, and
// the Convert command that runs a batch over the list.

#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/MediaInfo.h"
#include "ui/main/FileListPanel.h"
#include "ui/main/FormatBand.h"
#include "ui/main/MainMenus.h"

class QAction;
class QBoxLayout;
class QPoint;
class QLabel;
class QLineEdit;
class QMenu;
class QSystemTrayIcon;
class QToolButton;
class QPushButton;
class TKestMultiLanguages;
class TfrmFileInfo;
class TfrmAbout;
struct TOptions;
class TMainBatch;
class TQueueStore;

// The line the main window shows while destructive options are armed, such
// as "After the next batch: the converted source files will be deleted; the
// computer will shut down if no file fails"; empty when nothing is armed.
std::string ArmedActionsText(const TOptions& options);

class TfrmMain : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // False when the window could not be set up (profile folders could not
    // be created); the message has been shown and the program should end.
    bool StartedOk() const { return startedOk_; }

    // ---- File list (the list panel's) ----
    void AddFile(const std::string& path) { fileList_->AddFile(path); }
    void AddFiles(const std::vector<std::string>& paths) { fileList_->AddFiles(paths); }
    void RemoveFileByPath(const std::string& path) { fileList_->RemoveFileByPath(path); }
    void MoveFileToEnd(const std::string& path) { fileList_->MoveFileToEnd(path); }
    void ClearFileList() { fileList_->ClearFileList(); }
    void SelectListItem(int index) { fileList_->SelectListItem(index); }
    void DropFiles(const std::vector<std::string>& paths) { fileList_->DropFiles(paths); }
    // Shows the window, then adds the files given on the command line as a
    // drop would, once the window is on the screen: a message about one of
    // them (a damaged file) appears over the window.
    void ShowWithFiles(const std::vector<std::string>& paths);
    // Files handed over by a second start of the program: the window comes
    // up and they are added as a drop adds them; while a batch runs they
    // wait until it has ended, so that the running batch stays as started.
    void HandOverFiles(const std::vector<std::string>& paths);
    // An interrupted batch (the program ended by a crash, a kill or a power
    // cut while it ran) is offered once: when the user agrees, it continues
    // with its stored format, profile and output folder over the files it
    // has not converted. True when it was continued.
    bool ResumeInterruptedBatch();
    // The stored list (in memory when it cannot be kept on disk).
    TQueueStore& QueueStore() const { return *queueStore_; }
    int FileCount() const { return fileList_->FileCount(); }
    std::string FilePathAt(int index) const { return fileList_->FilePathAt(index); }
    const TFileItem* FileItemAt(int index) const { return fileList_->FileItemAt(index); }
    int FileImageAt(int index) const { return fileList_->FileImageAt(index); }
    std::vector<int> SelectedIndexes() const { return fileList_->SelectedIndexes(); }
    TFileState FileStateAt(int index) const { return fileList_->FileStateAt(index); }
    // Files whose media facts are still being read in the background.
    int PendingFacts() const { return fileList_->PendingFacts(); }
    TFileListPanel* FileList() const { return fileList_.get(); }

    // ---- Output format and profiles (the format band's) ----
    // index 0..21 of OutputFormatKind.
    void SelectOutputFormat(int format) { formatBand_->SelectOutputFormat(format); }
    // The format read back from the action states: -1 when none is chosen.
    int CurrentFormat() const { return formatBand_->CurrentFormat(); }
    QString OutputFolderText() const;

    // Shows lblArmed while the stored options delete sources or run a power
    // action after the next batch, and hides it otherwise.
    void UpdateArmedLine();

    // ---- Texts and languages ----
    void BuildLanguageMenu();
    void ChooseLanguage(QAction* item);
    // The captions of every control in the language in use.
    void ApplyTexts();

    // ---- Commands ----
    void ConvertFiles();
    void Browse();
    void PlaySource();
    // A converted file's output, and the folder that holds it.
    void PlayOutput();
    void OpenOutputFolder();
    void OpenDestinationFolder();
    void HelpContent();
    void ShowMoreInformation();
    // The settings window; its choice is stored when it closes with OK.
    void ShowSettings();
    void ShowAbout();
    void Exit();

    // Whether a batch (and so a progress window) is running.
    bool BatchRunning() const;
    // Shows the windows again and hides the tray icon.
    void RestoreFromTray();
    // The tray menu's second item: stop the batch (asking first) or close.
    void TrayExit();
    QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
    // The text of the last tray balloon of a batch (also when no tray exists).
    const std::string& LastBalloon() const;

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

private:
    void CreateControls();
    void CreateHeader(QBoxLayout* root);
    void CreateListTools(QBoxLayout* body);
    void CreateOutputRows(QBoxLayout* body);
    void CreateTray();
    void ConnectCommands();
    void ConnectParts();
    // Reads the profile folders again after a language change or at start;
    // false (with the message shown) when they cannot be created.
    bool RebuildProfileFolders();
    void ShowListMenu(const QPoint& globalPos, bool haveSelection);
    void ShowHelpMenu();
    // Widens the format buttons to their captions, the window to the row, and
    // makes it as tall as its rows need.
    void FitFormatButtons();
    // Saves the options before the program ends; false when the user chose
    // to stay after a failed save.
    bool SaveOptionsBeforeExit();
    void OpenLocalFile(const std::string& path);
    // Opens the stored list of QueueFile (telling why when it cannot be
    // used) and lists its files.
    void OpenStoredQueue();
    // The settings a batch records: format, profile and output folder.
    std::map<std::string, std::string> BatchSettings() const;
    void Quit(int code);

    bool startedOk_ = true;
    bool placed_ = false;
    bool quitting_ = false;

    // The stored list outlives every part that writes to it.
    std::unique_ptr<TQueueStore> queueStore_;
    // The parts; the batch, which reads the list, goes first when the window is destroyed.
    std::unique_ptr<TMainMenus> menus_;
    std::unique_ptr<TFileListPanel> fileList_;
    std::unique_ptr<TFormatBand> formatBand_;
    std::vector<std::string> handedOver_; // handed over while a batch ran
    std::unique_ptr<TMainBatch> batch_;

    // Controls of the window itself.
    QWidget* pnlClient_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QToolButton* btnHelp_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QToolButton* btnAddFile_ = nullptr;
    QToolButton* btnDeleteFile_ = nullptr;
    QToolButton* btnClearList_ = nullptr;
    QToolButton* btnMoveUp_ = nullptr;
    QToolButton* btnMoveDown_ = nullptr;
    QToolButton* btnClearFinished_ = nullptr;
    QLabel* lblOutputDir_ = nullptr;
    QLineEdit* txtOutputDir_ = nullptr;
    QPushButton* btnOutputDir_ = nullptr;
    QLabel* lblArmed_ = nullptr;
    QPushButton* btnDisarm_ = nullptr;
    QPushButton* btnConvert_ = nullptr;

    QSystemTrayIcon* trayIcon_ = nullptr;
    std::unique_ptr<TKestMultiLanguages> languages_;
    TfrmFileInfo* frmFileInfo_ = nullptr;
    TfrmAbout* frmAbout_ = nullptr;
};
