// The main window's profile commands: the profile flows with the format's
// editor window, the name dialog and the window's questions.

#include "ui/main/FormatBand.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>

#include <exception>

#include "lang/MultiLanguages.h"
#include "profiles/ProfileCommands.h"
#include "ui/common/Busy.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtDispatcher.h"
#include "ui/dialogs/NameWnd.h"
#include "ui/editors/ProfileEditor.h"

namespace {

class TWindowEditor : public TProfileEditorSession {
public:
    explicit TWindowEditor(std::unique_ptr<TfrmProfileEditor> editor) : editor_(std::move(editor)) {}
    // ShowModal places the editor over its owner, the main window; the pages
    // are brought in line first so that the size it centres is the final one.
    bool ShowModal() override
    {
        editor_->FormShow();
        return editor_->ShowModal() == mrOk;
    }
    void CollectSettings(TProfileRecord& record) override { editor_->CollectSettings(record); }

private:
    std::unique_ptr<TfrmProfileEditor> editor_;
};

class TWindowProfileUI : public TProfileCommandUI {
public:
    explicit TWindowProfileUI(QWidget* owner) : owner_(owner) {}

    std::unique_ptr<TProfileEditorSession> OpenEditor(int format, const TProfileRecord& record) override
    {
        std::unique_ptr<TfrmProfileEditor> editor = CreateProfileEditor(format, owner_);
        editor->ShowSettings(record);
        return std::make_unique<TWindowEditor>(std::move(editor));
    }
    std::optional<std::string> AskProfileName(const std::string& name) override
    {
        TfrmName dialog(owner_);
        dialog.SetName(name);
        dialog.ShowModal();
        if (!dialog.Accepted())
            return std::nullopt;
        return dialog.Name();
    }
    TAnswer Confirm(const std::string& title, const std::string& text) override
    {
        const int r = ShowLocalizedMessage(owner_, text, title, TMsgIcon::Confirmation,
                                           {TMsgButton::Yes, TMsgButton::No},
                                           {IDS_MESSAGE_BUTTON_Yes, IDS_MESSAGE_BUTTON_No});
        return r == mrYes ? TAnswer::Yes : r == mrNo ? TAnswer::No : TAnswer::Other;
    }
    void Inform(const std::string& title, const std::string& text) override
    {
        ShowMessageBox(owner_, text, title, TMsgIcon::Information);
    }
    void BeginBusy() override { ::BeginBusy(); }
    void EndBusy() override { ::EndBusy(); }

private:
    QWidget* owner_;
};

} // namespace

void TFormatBand::RunProfileCommand(TProfileCommand command)
{
    TFormatActionStates states{};
    for (int f = 0; f < OutputFormatCount; ++f) {
        states.Enabled[f] = formatActions_[f]->isEnabled();
        states.Checked[f] = formatActions_[f]->isChecked();
    }
    const int format = ProfileCommandFormat(states);
    if (format < 0)
        return; // no format chosen: the commands do nothing
    TWindowProfileUI ui(window_);
    try {
        switch (command) {
        case TProfileCommand::Add: AddNewProfile(format, ui); break;
        case TProfileCommand::Edit: EditProfile(format, ui); break;
        case TProfileCommand::Rename: RenameProfile(format, ui); break;
        case TProfileCommand::Delete: DeleteProfile(format, ui); break;
        }
    } catch (const std::exception& e) {
        ShowExceptionMessage(e.what());
    }
    // Added, renamed or deleted: the list's selection is the user's choice now.
    if (!ProfileLists[format].Text().empty())
        Options.LastProfile[format] = ProfileLists[format].Text();
    SyncProfileCombos();
}

void TFormatBand::ShowProfileMenu()
{
    // Under the arrow button, so that it opens in the same place from the
    // mouse and from the keyboard.
    mnuProfileAdditional_->popup(btnNewEdit_->mapToGlobal(QPoint(0, btnNewEdit_->height())));
}
