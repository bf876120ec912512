#pragma once

// The output format and profile band of the main window: the format buttons
// and the "To Others" menu, the profile of the chosen format and its commands.

#include <QObject>

#include <array>

#include "app/Settings.h"

class QAction;
class QBoxLayout;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;
class QWidget;

class TFormatBand : public QObject {
    Q_OBJECT

public:
    // The commands belong to Window: their shortcuts work anywhere in it.
    explicit TFormatBand(QWidget* window);

    // The heading and the row of format buttons, then (further down) the
    // profile row, added to Body in the window's order of controls.
    void CreateFormatRow(QBoxLayout* body);
    void CreateProfileRow(QBoxLayout* body);

    void ApplyTexts();
    // Widens the format buttons to their captions; returns the width the row
    // needs without the window's margins.
    int FitFormatButtons();

    // index 0..21 of OutputFormatKind.
    void SelectOutputFormat(int format);
    // The format read back from the action states: -1 when none is chosen.
    int CurrentFormat() const;
    // Reads the profile folders again (creating them where missing) and
    // fills the combo boxes; false when a folder cannot be created.
    bool RebuildProfileFolders();
    // Copies the profile lists into the combo boxes.
    void SyncProfileCombos();
    // Shows the Description of the current format's chosen profile under the
    // profile box (read again from its file).
    void ShowProfileDescription();
    // Reads the profile folders again after they changed on disk (profiles
    // added, renamed or deleted by quorvex-cli or a file manager), keeping
    // each format's selected profile where it still exists. Runs by itself
    // shortly after a folder changes.
    void ReloadProfileLists();
    // The profile commands on the current format; nothing when none is chosen.
    enum class TProfileCommand { Add, Edit, Rename, Delete };
    void RunProfileCommand(TProfileCommand command);
    // Pops up the Add/Delete/Rename menu under the arrow button.
    void ShowProfileMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void ConnectCommands();
    void ShowOthersMenu();
    // "To Others" names the chosen other format and shows it as chosen.
    void UpdateOthersButton();
    // Watches the profile folders (again after they were rebuilt).
    void WatchProfileFolders();

    QWidget* window_;
    // Format actions in OutputFormatKind order, and the group's extra action.
    std::array<QAction*, OutputFormatCount> formatActions_{};
    QAction* actOthers_ = nullptr;
    QAction* actShowOthers_ = nullptr; // Alt+9: the "To Others" menu
    std::array<QComboBox*, OutputFormatCount> profileCombos_{};
    std::array<QToolButton*, 8> formatButtons_{};

    QLabel* lblConvertTo_ = nullptr;
    QToolButton* btnOthers_ = nullptr;
    QMenu* mnuOthers_ = nullptr;

    QLabel* lblProFile_ = nullptr;
    QStackedWidget* stkProfiles_ = nullptr;
    QLabel* lblProfileDescription_ = nullptr;
    QPushButton* btnEditProfile_ = nullptr;
    QToolButton* btnNewEdit_ = nullptr;
    QMenu* mnuProfileAdditional_ = nullptr;
    QAction* actEditProfile_ = nullptr;
    QAction* actAddNewProfile_ = nullptr;
    QAction* actDeleteProfiles_ = nullptr;
    QAction* actRenameProfileExecute_ = nullptr;
    QAction* actProfileAdditional_ = nullptr;
    QFileSystemWatcher* profileWatcher_ = nullptr;
    QTimer* profileReload_ = nullptr;
};
