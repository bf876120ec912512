#pragma once

// The profile editor: one modal window that builds itself from an editor
// description (profiles/EditorDescriptions.h). It never reads or writes a
// file: ShowSettings copies a record into the controls, CollectSettings
// copies the controls into a record.

#include "profiles/EditorDescriptions.h"
#include "profiles/RecordFields.h"
#include "ui/common/ModalForm.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QVBoxLayout;
class TBinding;

class TfrmProfileEditor : public TModalForm {
    Q_OBJECT
public:
    TfrmProfileEditor(const TEditorDescription& description, QWidget* owner = nullptr);
    ~TfrmProfileEditor() override;

    const TEditorDescription& Description() const { return d_; }

    // Copies the record into the controls. A record of another format is
    // refused (std::invalid_argument).
    void ShowSettings(const TProfileRecord& record);
    // Copies every control into the record (of the editor's format, else
    // std::invalid_argument); fields without a control state stay as they are.
    void CollectSettings(TProfileRecord& record) const;
    // The record last shown (the defaults when none was) with every control
    // copied into it.
    TProfileRecord CollectSettings() const;
    // Brings every dependent state in line with the controls; runs when the
    // window is shown.
    void FormShow();
    // True when the controls hold something other than what the window
    // showed when it opened (or when ShowSettings last filled it).
    bool HasUnsavedChanges() const;
    // Close, Escape and the close box: with unsaved changes asks whether to
    // save them, discard them or go on editing.
    void reject() override;

    QTabWidget* PageControl = nullptr;
    QWidget* TabGeneral = nullptr;
    QWidget* TabVideo = nullptr;
    QWidget* TabAudio = nullptr;
    QWidget* TabDVD = nullptr;
    QStackedWidget* PageControlVCodec = nullptr;
    QStackedWidget* PageControlACodec = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // Ctrl+Tab and Ctrl+Shift+Tab turn the tabs wherever the focus is.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TBitrateUi;
    struct TVideoPageUi;
    struct TAudioPageUi;

    void BuildGeneralTab();
    QGroupBox* BuildTimeGroup();
    QGroupBox* BuildLoudnessGroup();
    QGroupBox* BuildFormatListGroup();
    QGroupBox* BuildMpegPresetGroup();
    std::pair<QGroupBox*, QComboBox*> BuildCodecListGroup(
        const TCodecList& list, const std::string& title, const char* groupName);
    void BuildTgpCodecPairs(QVBoxLayout* right);
    void BuildCodecLists(QVBoxLayout* right);
    void BuildVideoOptionGroups(QVBoxLayout* right);
    QWidget* BuildVideoPage(const TCodecPage& page);
    QGroupBox* BuildVideoSizeGroup(TVideoPageUi& ui, QWidget* page);
    QGroupBox* BuildFrameRateGroup(TVideoPageUi& ui, QWidget* page);
    QGroupBox* BuildAspectGroup(const TCodecPage& page, QWidget* parent);
    QWidget* BuildAudioPage(const TCodecPage& page);
    void BuildDvdTab();
    QGroupBox* BuildVideoBitrateGroup(TBitrateUi& ui, const std::string& suffix, const TPresetTable& table, int max,
        int start, const std::string& keyPrefix, const std::string& keySuffix, const QString& title);
    QGroupBox* BuildAudioBitrateGroup(TAudioPageUi& ui, QWidget* parent, const std::string& keyPrefix,
        const std::string& keySuffix, const QString& title);
    QComboBox* MakeList(QWidget* parent, const std::string& name, const std::vector<std::string>& texts);

    void UpdateBitrate(const TBitrateUi& ui);
    void UpdateVideoPage(const TVideoPageUi& ui);
    void UpdateAudioAuto(const TAudioPageUi& ui);
    void UpdateAudioRange(const TAudioPageUi& ui);
    void UpdateCodecPages();
    void UpdateTimeControl();
    void UpdateLoudness();
    void UpdateTabs();
    void SizeEditChanged(TVideoPageUi& ui);
    void SizeChosen(TVideoPageUi& ui);
    void SizeEditLeft(QSpinBox* edit);
    void TimeEditLeft(QLineEdit* edit);
    void ConfigureClick(QLabel* specify, const TPresetTable& table);
    void SaveClick();
    // Ctrl+Tab / Ctrl+Shift+Tab: brings the next or previous tab that can be
    // seen to the front; false for any other key.
    bool TurnTab(const QKeyEvent* event);
    void TgpCodecChosen(bool video, int index);

    const TEditorDescription& d_;
    TProfileRecord shown_;
    // The controls as collected once they showed shown_; what a change is measured against.
    std::optional<TProfileRecord> unchanged_;
    std::vector<std::unique_ptr<TBinding>> bindings_;
    std::vector<std::unique_ptr<TBitrateUi>> bitrates_;
    std::vector<std::unique_ptr<TVideoPageUi>> videoPages_;
    std::vector<std::unique_ptr<TAudioPageUi>> audioPages_;

    QLineEdit* editDescription_ = nullptr;
    QCheckBox* checkTime_ = nullptr;
    QLineEdit* editStart_ = nullptr;
    QLineEdit* editDuration_ = nullptr;
    QLineEdit* editEnd_ = nullptr;
    std::vector<QWidget*> timeControls_;
    QCheckBox* checkLoudness_ = nullptr;
    QComboBox* loudnessTarget_ = nullptr;
    QWidget* loudnessOther_ = nullptr;       // the spin box of another target
    std::vector<QWidget*> loudnessControls_; // enabled with checkLoudness_
    QString remembered_; // text of the time edit at focus-in
    QComboBox* formatList_ = nullptr;
    std::vector<QComboBox*> videoLists_;
    std::vector<QComboBox*> audioLists_;
    QStackedWidget* videoListStack_ = nullptr; // 3GP: Nokia / Sony
    QStackedWidget* audioListStack_ = nullptr; // 3GP, MPEG
    QGroupBox* groupVideoCodec_ = nullptr;
    QGroupBox* groupAudioCodec_ = nullptr;
    QGroupBox* groupSameQuality_ = nullptr;
    QGroupBox* groupDisableAudio_ = nullptr;
    QCheckBox* checkDisableAudio_ = nullptr;
    // MPEG preset group.
    QCheckBox* checkUsePreset_ = nullptr;
    std::vector<QRadioButton*> presetTypes_;
    std::vector<QRadioButton*> targetFormats_;
    QGroupBox* groupPresetType_ = nullptr;
    QGroupBox* groupTargetFormat_ = nullptr;
    // DVD tab.
    QRadioButton* dvdKeepAspect_ = nullptr;
    QRadioButton* dvdChangeAspect_ = nullptr;
    QComboBox* dvdAspect_ = nullptr;
    bool syncing_ = false; // a size list and its edits are being brought in line
    bool showing_ = false; // ShowSettings is filling the controls
};

// The editor windows: each is the editor over its format's description.
#define QV_PROFILE_EDITOR(Class, Kind)                                                                                 \
    class Class : public TfrmProfileEditor {                                                                           \
    public:                                                                                                            \
        explicit Class(QWidget* owner = nullptr)                                                                       \
            : TfrmProfileEditor(EditorDescription(static_cast<int>(OutputFormatKind::Kind)), owner)                    \
        {                                                                                                              \
        }                                                                                                              \
    };
QV_PROFILE_EDITOR(TfrmAVIProfile, AVI)
QV_PROFILE_EDITOR(TfrmMp4Profile, MP4)
QV_PROFILE_EDITOR(TfrmTGPProfile, TGP)
QV_PROFILE_EDITOR(TfrmMPEGProfile, MPEG)
QV_PROFILE_EDITOR(TfrmMovProfile, MOV)
QV_PROFILE_EDITOR(TfrmWmvProfile, WMV)
QV_PROFILE_EDITOR(TfrmRMProfile, RM)
QV_PROFILE_EDITOR(TfrmSwfProfile, SWF)
QV_PROFILE_EDITOR(TfrmVobProfile, VOB)
QV_PROFILE_EDITOR(TfrmAsfProfile, ASF)
QV_PROFILE_EDITOR(TfrmAacProfile, AAC)
QV_PROFILE_EDITOR(TfrmAc3Profile, AC3)
QV_PROFILE_EDITOR(TfrmMp2Profile, MP2)
QV_PROFILE_EDITOR(TfrmMp3Profile, MP3)
QV_PROFILE_EDITOR(TfrmAmrProfile, AMR)
QV_PROFILE_EDITOR(TfrmWavProfile, WAV)
#undef QV_PROFILE_EDITOR

// The editor of a format (OutputFormatKind value); std::out_of_range for 22 or more.
std::unique_ptr<TfrmProfileEditor> CreateProfileEditor(int format, QWidget* owner = nullptr);
