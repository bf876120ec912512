#include "ui/editors/ProfileEditor.h"

#include "app/AppUtils.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/Mnemonics.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/EnterValueWnd.h"
#include "ui/editors/Bindings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

namespace {

// A caption with its accelerator: "&" before the first `at` in the text, or
// in front when the text has no such letter; texts that bring their own "&"
// keep it. MakeMnemonicsUnique moves a letter another control has taken.
QString Accel(const std::string& text, char at = 0)
{
    QString s = DisplayText(text);
    if (s.contains(QLatin1Char('&')))
        return s;
    const int i = at ? s.indexOf(QLatin1Char(at)) : -1;
    s.insert(i < 0 ? 0 : i, QLatin1Char('&'));
    return s;
}

// A caption without accelerator: a literal "&" stays visible.
QString Plain(const std::string& text)
{
    QString s = DisplayText(text);
    s.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return s;
}

template <class W> W* Named(W* w, const std::string& name)
{
    w->setObjectName(Q(name));
    return w;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const std::string& name = {})
{
    auto* l = new QLabel(text, parent);
    if (!name.empty())
        l->setObjectName(Q(name));
    return l;
}

// The index of the checked radio of a group, -1 when none is.
// The captions of a codec list, in list order.
std::vector<std::string> CodecCaptions(const TCodecList& list)
{
    std::vector<std::string> texts;
    for (const TCodecEntry& e : list.Entries)
        texts.push_back(*e.Caption);
    return texts;
}

int CheckedRadio(const std::vector<QRadioButton*>& radios)
{
    for (size_t i = 0; i < radios.size(); ++i)
        if (radios[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}

void SetEnabled(const std::vector<QWidget*>& widgets, bool on)
{
    for (QWidget* w : widgets)
        w->setEnabled(on);
}

// A hidden tab is disabled on the tab bar as well: its arrow keys, the mouse
// wheel and Ctrl+Tab skip disabled tabs only. The page itself stays enabled,
// so its controls keep their own states for when it is shown again.
void ShowTab(QTabWidget* tabs, QWidget* page, bool visible)
{
    const int i = tabs->indexOf(page);
    tabs->setTabVisible(i, visible);
    tabs->tabBar()->setTabEnabled(i, visible);
}

} // namespace

// ---- Page widgets ----

struct TfrmProfileEditor::TBitrateUi {
    QRadioButton* Preset = nullptr;
    QRadioButton* Specify = nullptr;
    QSlider* Bar = nullptr;
    QLabel* Value = nullptr;
    QLabel* SpecifyLabel = nullptr;
    std::vector<QWidget*> PresetSide;
    std::vector<QWidget*> SpecifySide;
};

struct TfrmProfileEditor::TVideoPageUi {
    const TCodecPage* Page = nullptr;
    TBitrateUi* Bitrate = nullptr;
    QRadioButton* KeepSize = nullptr;
    QRadioButton* ChangeSize = nullptr;
    QSpinBox* Width = nullptr;
    QSpinBox* Height = nullptr;
    QComboBox* Sizes = nullptr;
    std::vector<QWidget*> SizeSide;
    QRadioButton* KeepRate = nullptr;
    QRadioButton* ChangeRate = nullptr;
    QComboBox* Rates = nullptr;
};

struct TfrmProfileEditor::TAudioPageUi {
    const TCodecPage* Page = nullptr;
    QCheckBox* AutoSet = nullptr;
    QSlider* Bar = nullptr;
    std::vector<QWidget*> BarSide;
    QComboBox* Rates = nullptr;
    QComboBox* Channels = nullptr;
    QGroupBox* RateGroup = nullptr;
    QGroupBox* SurroundRateGroup = nullptr; // AC3 only
};

// ---- Creation ----

TfrmProfileEditor::TfrmProfileEditor(const TEditorDescription& description, QWidget* owner)
    : TModalForm(owner)
    , d_(description)
    , shown_(DefaultRecord(description.Format))
{
    setObjectName(Q(d_.ClassName.substr(1))); // "frmAVIProfile"
    setWindowTitle(Q(FormatText(IDS_PROFILE_FORM_ProfileEditor, { *d_.FormatName })));

    auto* top = new QHBoxLayout;
    editDescription_ = Named(new QLineEdit(this), d_.DescriptionControl);
    auto* descLabel = MakeLabel(this, Accel("&" + IDS_PROFILE_LABEL_Description), "LabelDescription");
    descLabel->setBuddy(editDescription_);
    top->addWidget(descLabel);
    top->addWidget(editDescription_, 1);
    bindings_.push_back(std::make_unique<TTextBinding>(editDescription_, "Description"));

    const bool aac = d_.Format == static_cast<int>(OutputFormatKind::AAC);
    PageControl = Named(new QTabWidget(this), aac ? "pageOptions" : "PageControl");
    BuildGeneralTab();

    if (d_.HasVideo) {
        TabVideo = Named(new QWidget, "TabSheetVideo");
        PageControlVCodec = Named(new QStackedWidget(TabVideo), "PageControlVCodec");
        for (const TCodecPage& page : d_.VideoPages)
            PageControlVCodec->addWidget(BuildVideoPage(page));
        (new QVBoxLayout(TabVideo))->addWidget(PageControlVCodec);
        PageControl->addTab(TabVideo, Accel(IDS_PROFILE_PAGECONTROL_Video));
    }
    TabAudio = Named(new QWidget, "TabSheetAudio");
    PageControlACodec = Named(new QStackedWidget(TabAudio), "PageControlACodec");
    for (const TCodecPage& page : d_.AudioPages)
        PageControlACodec->addWidget(BuildAudioPage(page));
    auto* audioLayout = new QVBoxLayout(TabAudio);
    audioLayout->addWidget(PageControlACodec);
    audioLayout->addStretch();
    PageControl->addTab(TabAudio, Accel(IDS_PROFILE_PAGECONTROL_Audio));
    if (d_.Extra == TEditorExtra::MpegPresets)
        BuildDvdTab();

    btnSave = Named(new QPushButton(Accel(IDS_PROFILE_BUTTON_Save), this), "btnSave");
    btnSave->setDefault(true);
    btnClose = Named(new QPushButton(Accel(IDS_PROFILE_BUTTON_Close), this), "btnClose");
    connect(btnSave, &QPushButton::clicked, this, &TfrmProfileEditor::SaveClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmProfileEditor::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(PageControl, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    if (!d_.HasVideo)
        setMinimumWidth(480); // room for the bitrate trackbar

    // Every control is bound to a field of the record; a key the record does
    // not have is a fault of the description.
    for (const auto& b : bindings_) {
        const auto* size = dynamic_cast<const TSizeRadioBinding*>(b.get());
        for (const std::string& key : { b->Key, size ? size->HeightKey() : b->Key })
            if (!FindField(d_.Format, key))
                throw std::logic_error(d_.ClassName + " binds " + key + ", which its record does not have");
    }

    // The controls are created in the order of the layout (description,
    // tabs and their pages column by column, then the buttons), which is
    // the tab order.

    // Ctrl+Tab turns the tabs wherever the focus is: lists and edits would
    // take it as typed text, and the description lies outside the tabs.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    // The letters above are wishes: in any language each control that can be
    // seen with another keeps a letter of its own.
    MakeMnemonicsUnique(this);
}

TfrmProfileEditor::~TfrmProfileEditor() = default;

QComboBox* TfrmProfileEditor::MakeList(QWidget* parent, const std::string& name, const std::vector<std::string>& texts)
{
    auto* list = Named(new QComboBox(parent), name);
    for (const std::string& t : texts)
        list->addItem(Q(t));
    return list;
}

void TfrmProfileEditor::BuildGeneralTab()
{
    const bool aac = d_.Format == static_cast<int>(OutputFormatKind::AAC);
    TabGeneral = Named(new QWidget, aac ? "tabGeneral" : "TabSheetGeneral");
    PageControl->addTab(TabGeneral, Accel(IDS_PROFILE_PAGECONTROL_General));

    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->addWidget(BuildTimeGroup());
    auto* keepTags = Named(new QCheckBox(Accel(IDS_PROFILE_CHECKBOX_KeepTags, 'K'), TabGeneral), d_.KeepTagsControl);
    left->addWidget(keepTags);
    bindings_.push_back(std::make_unique<TCheckBinding>(keepTags, "KeepTags"));
    // Every format has sound.
    left->addWidget(BuildLoudnessGroup());
    if (!d_.FormatKey.empty()) // MP4, 3GP
        left->addWidget(BuildFormatListGroup());
    if (d_.Extra == TEditorExtra::MpegPresets)
        left->addWidget(BuildMpegPresetGroup());
    // Setting lists (FLAC level, Vorbis quality): a group with one list each.
    for (const TSettingList& setting : d_.SettingLists) {
        auto* group = Named(new QGroupBox(Accel(*setting.Caption), TabGeneral), "GroupBox" + setting.Key);
        QComboBox* combo = MakeList(group, setting.ControlName, setting.Entries());
        (new QVBoxLayout(group))->addWidget(combo);
        bindings_.push_back(std::make_unique<TComboBinding>(combo, setting.Key));
        left->addWidget(group);
    }
    // Every format: copy a source stream that already fits.
    auto* copyFitting = Named(new QCheckBox(Accel(IDS_PROFILE_CHECKBOX_CopyFitting), TabGeneral), "CheckBoxCopyFitting");
    copyFitting->setToolTip(Plain(IDS_PROFILE_HINT_CopyFitting));
    left->addWidget(copyFitting);
    bindings_.push_back(std::make_unique<TCheckBinding>(copyFitting, "CopyFitting"));
    left->addStretch();

    if (d_.Extra == TEditorExtra::TgpPairs)
        BuildTgpCodecPairs(right);
    else
        BuildCodecLists(right);
    for (QComboBox* c : videoLists_)
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateCodecPages(); });
    for (QComboBox* c : audioLists_)
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateCodecPages(); });
    if (d_.HasVideo)
        BuildVideoOptionGroups(right);
    right->addStretch();

    auto* columns = new QHBoxLayout(TabGeneral);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
}

QGroupBox* TfrmProfileEditor::BuildLoudnessGroup()
{
    auto* group = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_Loudness), TabGeneral), "GroupBoxLoudness");
    checkLoudness_ = Named(new QCheckBox(Accel(IDS_PROFILE_CHECKBOX_NormaliseLoudness, 'N'), group),
                           "CheckBoxNormaliseLoudness");
    loudnessTarget_ = MakeList(group, "ComboBoxLoudnessTarget",
        { IDS_PROFILE_LIST_LoudnessEbu, IDS_PROFILE_LIST_LoudnessPodcast, IDS_PROFILE_LIST_LoudnessStreaming,
            IDS_PROFILE_LIST_LoudnessOther });
    auto* other = Named(new QDoubleSpinBox(group), "EditLoudnessTarget");
    other->setDecimals(1);
    other->setSingleStep(0.5);
    other->setRange(MinLoudnessTarget / 10.0, MaxLoudnessTarget / 10.0);
    loudnessOther_ = other;
    auto* peak = Named(new QDoubleSpinBox(group), "EditTruePeakCeiling");
    peak->setDecimals(1);
    peak->setSingleStep(0.5);
    peak->setRange(MinTruePeakCeiling / 10.0, MaxTruePeakCeiling / 10.0);
    auto* album = Named(new QCheckBox(Accel(IDS_PROFILE_CHECKBOX_LoudnessAlbumMode, 'f'), group),
                        "CheckBoxLoudnessAlbumMode");
    auto* targetLabel = MakeLabel(group, Accel(IDS_PROFILE_LABEL_LoudnessTarget), "LabelLoudnessTarget");
    auto* peakLabel = MakeLabel(group, Accel(IDS_PROFILE_LABEL_TruePeakCeiling), "LabelTruePeakCeiling");
    targetLabel->setBuddy(loudnessTarget_);
    peakLabel->setBuddy(peak);
    auto* grid = new QGridLayout(group);
    grid->addWidget(checkLoudness_, 0, 0, 1, 3);
    grid->addWidget(targetLabel, 1, 0);
    grid->addWidget(loudnessTarget_, 1, 1);
    grid->addWidget(other, 1, 2);
    grid->addWidget(peakLabel, 2, 0);
    grid->addWidget(peak, 2, 1);
    grid->addWidget(album, 3, 0, 1, 3);
    loudnessControls_ = { loudnessTarget_, other, peak, album, targetLabel, peakLabel };
    connect(checkLoudness_, &QCheckBox::toggled, this, [this] { UpdateLoudness(); });
    connect(loudnessTarget_, &QComboBox::currentIndexChanged, this, [this] { UpdateLoudness(); });
    bindings_.push_back(std::make_unique<TCheckBinding>(checkLoudness_, "NormaliseLoudness"));
    bindings_.push_back(std::make_unique<TLoudnessTargetBinding>(
        loudnessTarget_, other, std::vector<int32_t> { -230, -160, -140 }, "LoudnessTarget"));
    bindings_.push_back(std::make_unique<TTenthsBinding>(peak, "TruePeakCeiling"));
    bindings_.push_back(std::make_unique<TCheckBinding>(album, "LoudnessAlbumMode"));
    return group;
}

// The loudness settings take effect only with "Normalise loudness"; the
// number box serves the list's last entry ("Other level").
void TfrmProfileEditor::UpdateLoudness()
{
    const bool on = checkLoudness_->isChecked();
    for (QWidget* w : loudnessControls_)
        w->setEnabled(on);
    loudnessOther_->setEnabled(on && loudnessTarget_->currentIndex() == loudnessTarget_->count() - 1);
}

QGroupBox* TfrmProfileEditor::BuildTimeGroup()
{
    auto* timeGroup = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_TimeControl), TabGeneral), "GroupBoxTimeControl");
    checkTime_
        = Named(new QCheckBox(Accel(IDS_PROFILE_CHECKBOX_EnableTimeControl, 'T'), timeGroup), d_.EnableTimeControl);
    editStart_ = Named(new QLineEdit(timeGroup), d_.StartTimeControl);
    editDuration_ = Named(new QLineEdit(timeGroup), d_.DurationControl);
    editEnd_ = Named(new QLineEdit(timeGroup), d_.EndTimeControl);
    auto* startLabel = MakeLabel(timeGroup, Accel(IDS_PROFILE_LABEL_StartTime), "LabelStartTime");
    auto* durationLabel = MakeLabel(timeGroup, Accel(IDS_PROFILE_LABEL_Duration), "LabelDuration");
    auto* endLabel = MakeLabel(timeGroup, Accel(IDS_PROFILE_LABEL_EndTime), "LabelEndTime");
    auto* hint = MakeLabel(timeGroup, Plain(IDS_PROFILE_LABEL_HrMn), "LabelHrMn");
    startLabel->setBuddy(editStart_);
    durationLabel->setBuddy(editDuration_);
    endLabel->setBuddy(editEnd_);
    auto* tg = new QGridLayout(timeGroup);
    tg->addWidget(checkTime_, 0, 0, 1, 2);
    tg->addWidget(startLabel, 1, 0);
    tg->addWidget(editStart_, 1, 1);
    tg->addWidget(durationLabel, 2, 0);
    tg->addWidget(editDuration_, 2, 1);
    tg->addWidget(endLabel, 3, 0);
    tg->addWidget(editEnd_, 3, 1);
    tg->addWidget(hint, 4, 1);
    timeControls_ = { editStart_, editDuration_, editEnd_, startLabel, durationLabel, endLabel, hint };
    for (QLineEdit* e : { editStart_, editDuration_, editEnd_ })
        e->installEventFilter(this);
    connect(checkTime_, &QCheckBox::toggled, this, [this] { UpdateTimeControl(); });
    bindings_.push_back(std::make_unique<TCheckBinding>(checkTime_, "EnableTimeControl"));
    bindings_.push_back(std::make_unique<TTextBinding>(editDuration_, "Duration"));
    bindings_.push_back(std::make_unique<TTextBinding>(editStart_, "StartTime"));
    return timeGroup;
}

QGroupBox* TfrmProfileEditor::BuildFormatListGroup()
{
    auto* group = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_Type), TabGeneral), "GroupBoxType");
    std::vector<std::string> texts;
    for (const std::string* t : d_.FormatEntries)
        texts.push_back(*t);
    formatList_ = MakeList(group, d_.FormatControl, texts);
    (new QVBoxLayout(group))->addWidget(formatList_);
    bindings_.push_back(std::make_unique<TComboBinding>(formatList_, d_.FormatKey));
    connect(formatList_, &QComboBox::currentIndexChanged, this, [this] { UpdateCodecPages(); });
    return group;
}

QGroupBox* TfrmProfileEditor::BuildMpegPresetGroup()
{
    auto* group = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_PresetFormats), TabGeneral), "GroupBoxPresetFormats");
    checkUsePreset_ = Named(new QCheckBox(Plain(IDS_PROFILE_LABEL_UsePresetFormats), group), "CheckBoxUsePressetFormat");
    groupPresetType_ = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_Type + " "), group), "RadioGroupPresetType");
    groupTargetFormat_ = Named(new QGroupBox(Plain(IDS_PROFILE_LABEL_TargetFormat), group), "RadioGroupTargetFormat");
    // One row of radio buttons named <Name>0, <Name>1, ... in a group box.
    auto radioRow = [](QGroupBox* box, std::initializer_list<const std::string*> texts, const std::string& name,
                        std::vector<QRadioButton*>& radios) {
        auto* row = new QHBoxLayout(box);
        int i = 0;
        for (const std::string* t : texts) {
            auto* r = Named(new QRadioButton(Plain(*t), box), name + std::to_string(i++));
            radios.push_back(r);
            row->addWidget(r);
        }
    };
    radioRow(groupPresetType_, { &IDS_PROFILE_RADIOBUTTON_Vcd, &IDS_PROFILE_RADIOBUTTON_Svcd, &IDS_PROFILE_CHECKBOX_DVD },
        "RadioButtonPresetType", presetTypes_);
    radioRow(groupTargetFormat_, { &IDS_PROFILE_RADIOBUTTON_Auto, &IDS_PROFILE_LABEL_Ntsc, &IDS_PROFILE_LABEL_Pal },
        "RadioButtonTargetFormat", targetFormats_);
    auto* gl = new QVBoxLayout(group);
    gl->addWidget(checkUsePreset_);
    gl->addWidget(groupPresetType_);
    gl->addWidget(groupTargetFormat_);
    bindings_.push_back(std::make_unique<TCheckBinding>(checkUsePreset_, "UsePresetFormats"));
    bindings_.push_back(std::make_unique<TRadioGroupBinding>(targetFormats_, "TargetFormat"));
    bindings_.push_back(std::make_unique<TRadioGroupBinding>(presetTypes_, "PresetType"));
    connect(checkUsePreset_, &QCheckBox::toggled, this, [this] { UpdateTabs(); });
    for (QRadioButton* r : presetTypes_)
        connect(r, &QRadioButton::toggled, this, [this] { UpdateTabs(); });
    return group;
}

std::pair<QGroupBox*, QComboBox*> TfrmProfileEditor::BuildCodecListGroup(
    const TCodecList& list, const std::string& title, const char* groupName)
{
    auto* group = Named(new QGroupBox(Accel(title), TabGeneral), groupName);
    QComboBox* combo = MakeList(group, list.ControlName, CodecCaptions(list));
    (new QVBoxLayout(group))->addWidget(combo);
    bindings_.push_back(std::make_unique<TComboBinding>(combo, list.Key));
    return { group, combo };
}

// 3GP stacks a Nokia and a Sony pair of codec groups.
void TfrmProfileEditor::BuildTgpCodecPairs(QVBoxLayout* right)
{
    videoListStack_ = Named(new QStackedWidget(TabGeneral), "StackCodecPairs");
    const char* names[2][2] = { { "GroupBoxVideoCodecNokia", "GroupBoxAudioCodecNokia" },
        { "GroupBoxVideoCodecSony", "GroupBoxAudioCodecSony" } };
    for (size_t pair = 0; pair < 2; ++pair) {
        auto* holder = new QWidget;
        auto* hl = new QVBoxLayout(holder);
        hl->setContentsMargins(0, 0, 0, 0);
        auto [vg, vc] = BuildCodecListGroup(d_.VideoLists[pair], IDS_PROFILE_GROUPBOX_VideoCodec, names[pair][0]);
        auto [ag, ac] = BuildCodecListGroup(d_.AudioLists[pair], IDS_PROFILE_GROUPBOX_AudioCodec, names[pair][1]);
        vg->setParent(holder);
        ag->setParent(holder);
        hl->addWidget(vg);
        hl->addWidget(ag);
        videoLists_.push_back(vc);
        audioLists_.push_back(ac);
        videoListStack_->addWidget(holder);
        if (pair == 0) {
            // The notices for the Nokia choices, shown when the user picks them.
            connect(vc, &QComboBox::activated, this, [this](int i) { TgpCodecChosen(true, i); });
            connect(ac, &QComboBox::activated, this, [this](int i) { TgpCodecChosen(false, i); });
        }
    }
    right->addWidget(videoListStack_);
}

// The video codec group, and the audio codec group with one list, or a stack
// of lists when the format has several (MPEG).
void TfrmProfileEditor::BuildCodecLists(QVBoxLayout* right)
{
    if (d_.HasVideo) {
        auto [vg, vc] = BuildCodecListGroup(d_.VideoLists[0], IDS_PROFILE_GROUPBOX_VideoCodec, "GroupBoxVideoCodec");
        groupVideoCodec_ = vg;
        videoLists_.push_back(vc);
        right->addWidget(vg);
    }
    groupAudioCodec_ = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_AudioCodec), TabGeneral), "GroupBoxAudioCodec");
    auto* al = new QVBoxLayout(groupAudioCodec_);
    if (d_.AudioLists.size() > 1) {
        audioListStack_ = Named(new QStackedWidget(groupAudioCodec_), "StackAudioCodec");
        audioListStack_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    for (const TCodecList& list : d_.AudioLists) {
        QComboBox* combo = MakeList(groupAudioCodec_, list.ControlName, CodecCaptions(list));
        bindings_.push_back(std::make_unique<TComboBinding>(combo, list.Key));
        audioLists_.push_back(combo);
        if (audioListStack_)
            audioListStack_->addWidget(combo);
        else
            al->addWidget(combo);
    }
    if (audioListStack_)
        al->addWidget(audioListStack_);
    right->addWidget(groupAudioCodec_);
}

void TfrmProfileEditor::BuildVideoOptionGroups(QVBoxLayout* right)
{
    groupDisableAudio_
        = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_DisableAudio), TabGeneral), "GroupBoxDisableAudio");
    checkDisableAudio_
        = Named(new QCheckBox(Plain(IDS_PROFILE_CHECKBOX_DisableAudio), groupDisableAudio_), "CheckBoxDisableAudio");
    (new QVBoxLayout(groupDisableAudio_))->addWidget(checkDisableAudio_);
    groupSameQuality_
        = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_SameQuality), TabGeneral), "GroupBoxSameQuality");
    auto* same = Named(new QCheckBox(Plain(IDS_PROFILE_CHECKBOX_UseName), groupSameQuality_), "CheckBoxSameQuality");
    (new QVBoxLayout(groupSameQuality_))->addWidget(same);
    right->addWidget(groupDisableAudio_);
    right->addWidget(groupSameQuality_);
    bindings_.push_back(std::make_unique<TCheckBinding>(same, "VideoSameQuality"));
    bindings_.push_back(std::make_unique<TCheckBinding>(checkDisableAudio_, "AudioDisableAudio"));
    connect(checkDisableAudio_, &QCheckBox::toggled, this, [this] { UpdateTabs(); });
}

QGroupBox* TfrmProfileEditor::BuildVideoBitrateGroup(TBitrateUi& ui, const std::string& c, const TPresetTable& table,
    int max, int start, const std::string& keyPrefix, const std::string& keySuffix, const QString& title)
{
    auto* group = Named(new QGroupBox(title), "GroupBoxBitrate" + c);
    ui.Preset
        = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_PresetQuality), group), "RadioButtonVideoPresert" + c);
    ui.Specify
        = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_SpecifySetting), group), "RadioButtonVideoSpecify" + c);
    ui.Bar = Named(new QSlider(Qt::Horizontal, group), "TrackBarVideoBitrate" + c);
    ui.Bar->setRange(1, max);
    ui.Bar->setTickPosition(QSlider::TicksBelow);
    ui.Bar->setPageStep(1);
    ui.Value = MakeLabel(group, QString(), "LabelBitrate" + c);
    auto* current = MakeLabel(group, Plain(IDS_PROFILE_LABEL_CurrentBitrate));
    auto* kbps1 = MakeLabel(group, Plain(IDS_PROFILE_LABEL_Kbps));
    auto* low = MakeLabel(group, Plain(IDS_PROFILE_LABEL_LowQuality));
    auto* high = MakeLabel(group, Plain(IDS_PROFILE_LABEL_HighQuliaty));
    high->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui.SpecifyLabel = MakeLabel(group, QString(), "LabelBitrateSpecify" + c);
    ui.SpecifyLabel->setFrameShape(QFrame::Panel);
    ui.SpecifyLabel->setFrameShadow(QFrame::Sunken);
    ui.SpecifyLabel->setMinimumWidth(60);
    auto* kbps2 = MakeLabel(group, Plain(IDS_PROFILE_LABEL_Kbps));
    auto* configure
        = Named(new QPushButton(Accel(IDS_PROFILE_BUTTON_Configure), group), "ButtonVideoBitrateConfigure" + c);
    ui.PresetSide = { current, ui.Value, low, high, ui.Bar, kbps1 };
    ui.SpecifySide = { ui.SpecifyLabel, kbps2, configure };

    auto* g = new QGridLayout(group);
    g->addWidget(ui.Preset, 0, 0, 1, 2);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(current);
    valueRow->addWidget(ui.Value);
    valueRow->addWidget(kbps1);
    valueRow->addStretch();
    g->addLayout(valueRow, 1, 0, 1, 2);
    g->addWidget(ui.Bar, 2, 0, 1, 2);
    g->addWidget(low, 3, 0);
    g->addWidget(high, 3, 1);
    g->addWidget(ui.Specify, 4, 0, 1, 2);
    auto* specRow = new QHBoxLayout;
    specRow->addWidget(ui.SpecifyLabel);
    specRow->addWidget(kbps2);
    specRow->addStretch();
    specRow->addWidget(configure);
    g->addLayout(specRow, 5, 0, 1, 2);
    g->setRowStretch(6, 1);

    const TPresetTable* t = &table;
    QLabel* value = ui.Value;
    connect(ui.Bar, &QSlider::valueChanged, value,
        [value, t](int p) { value->setText(QString::number(PresetValue(*t, p))); });
    value->setText(QString::number(PresetValue(table, ui.Bar->value())));
    TBitrateUi* self = &ui;
    connect(ui.Preset, &QRadioButton::toggled, this, [this, self] { UpdateBitrate(*self); });
    QLabel* spec = ui.SpecifyLabel;
    connect(configure, &QPushButton::clicked, this, [this, spec, t] { ConfigureClick(spec, *t); });

    bindings_.push_back(
        std::make_unique<TRadioPairBinding>(ui.Preset, ui.Specify, keyPrefix + "BitRateUsePresert" + keySuffix));
    bindings_.push_back(std::make_unique<TPresetTrackBinding>(
        ui.Bar, ui.Value, table, start, max, keyPrefix + "BitRatePreset" + keySuffix));
    bindings_.push_back(
        std::make_unique<TNumberLabelBinding>(ui.SpecifyLabel, keyPrefix + "BitRateSpecify" + keySuffix));
    return group;
}

QWidget* TfrmProfileEditor::BuildVideoPage(const TCodecPage& page)
{
    const std::string& c = page.Suffix;
    auto* w = Named(new QWidget, "TabSheet" + c);
    auto ui = std::make_unique<TVideoPageUi>();
    ui->Page = &page;
    bitrates_.push_back(std::make_unique<TBitrateUi>());
    ui->Bitrate = bitrates_.back().get();
    QGroupBox* bitrate = BuildVideoBitrateGroup(*ui->Bitrate, c, *page.Presets, page.TrackBarMax, page.StartPosition,
        "Video", c, Accel(IDS_PROFILE_GROUPBOX_Bitrate));
    bitrate->setParent(w);
    QGroupBox* size = BuildVideoSizeGroup(*ui, w);
    QGroupBox* rate = BuildFrameRateGroup(*ui, w);
    QGroupBox* aspect = BuildAspectGroup(page, w);

    auto* grid = new QGridLayout(w);
    grid->addWidget(bitrate, 0, 0);
    grid->addWidget(size, 0, 1);
    grid->addWidget(rate, 1, 0);
    grid->addWidget(aspect, 1, 1);
    grid->setRowStretch(2, 1);
    videoPages_.push_back(std::move(ui));
    return w;
}

// H.263 offers three fixed sizes; the other codecs keep the source size or
// take one from a list or the two edits.
QGroupBox* TfrmProfileEditor::BuildVideoSizeGroup(TVideoPageUi& ui, QWidget* page)
{
    const std::string& c = ui.Page->Suffix;
    auto* size = Named(new QGroupBox(Accel(IDS_PROFILE_GROUPBOX_VideoSize), page), "GroupBoxVideoSize" + c);
    auto* sl = new QGridLayout(size);
    if (ui.Page->Kind == TPageKind::H263) {
        const struct {
            const char* Text;
            const char* Name;
            int W, H;
        } sizes[] = { { "128 x 96", "RadioButtonVideoSize128_96H263", 128, 96 },
            { "176 x 144", "RadioButtonVideoSize176_144H263", 176, 144 },
            { "352 x 288", "RadioButtonVideoSize352_288H263", 352, 288 } };
        std::vector<TSizeRadioBinding::TChoice> choices;
        int row = 0;
        for (const auto& s : sizes) {
            auto* r = Named(new QRadioButton(QString::fromLatin1(s.Text), size), s.Name);
            sl->addWidget(r, row++, 0);
            choices.push_back({ r, s.W, s.H });
        }
        sl->setRowStretch(row, 1);
        bindings_.push_back(std::make_unique<TSizeRadioBinding>(choices, "VideoWidth" + c, "VideoHeight" + c));
        return size;
    }
    ui.KeepSize = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_KeepSource), size), "RadioButtonKeepSourceSize" + c);
    ui.ChangeSize = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_Change), size), "RadioButtonChangVideoSize" + c);
    ui.Width = Named(new QSpinBox(size), "EditVideoWidth" + c);
    ui.Height = Named(new QSpinBox(size), "EditVideoHeight" + c);
    for (QSpinBox* e : { ui.Width, ui.Height }) {
        e->setRange(MinVideoDimension, MaxVideoDimension);
        e->installEventFilter(this);
    }
    ui.Sizes = MakeList(size, "ComboBoxVideoSize" + c, SizePresetTexts(ui.Page->Sizes));
    auto* dims = MakeLabel(size, Plain(IDS_PROFILE_LABEL_VideoDimensions));
    auto* wl = MakeLabel(size, Plain(IDS_PROFILE_LABEL_Width));
    auto* hl = MakeLabel(size, Plain(IDS_PROFILE_LABEL_Height));
    auto* x = MakeLabel(size, QStringLiteral("X"));
    sl->addWidget(ui.KeepSize, 0, 0, 1, 4);
    sl->addWidget(ui.ChangeSize, 1, 0, 1, 4);
    sl->addWidget(dims, 2, 0);
    sl->addWidget(ui.Sizes, 2, 1, 1, 3);
    auto* dimRow = new QHBoxLayout;
    dimRow->addWidget(wl);
    dimRow->addWidget(ui.Width);
    dimRow->addWidget(x);
    dimRow->addWidget(hl);
    dimRow->addWidget(ui.Height);
    dimRow->addStretch();
    sl->addLayout(dimRow, 3, 0, 1, 4);
    sl->setRowStretch(4, 1);
    wl->setBuddy(ui.Width);
    hl->setBuddy(ui.Height);
    ui.SizeSide = { ui.Width, ui.Height, wl, hl, x, dims, ui.Sizes };
    TVideoPageUi* self = &ui;
    connect(ui.ChangeSize, &QRadioButton::toggled, this, [this, self] { UpdateVideoPage(*self); });
    connect(ui.Width, &QSpinBox::valueChanged, this, [this, self] { SizeEditChanged(*self); });
    connect(ui.Height, &QSpinBox::valueChanged, this, [this, self] { SizeEditChanged(*self); });
    connect(ui.Sizes, &QComboBox::activated, this, [this, self] { SizeChosen(*self); });
    bindings_.push_back(std::make_unique<TRadioPairBinding>(ui.KeepSize, ui.ChangeSize, "VideoSizeUseSource" + c));
    bindings_.push_back(std::make_unique<TSpinBinding>(ui.Width, "VideoWidth" + c));
    bindings_.push_back(std::make_unique<TSpinBinding>(ui.Height, "VideoHeight" + c));
    return size;
}

QGroupBox* TfrmProfileEditor::BuildFrameRateGroup(TVideoPageUi& ui, QWidget* page)
{
    const std::string& c = ui.Page->Suffix;
    auto* rate = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_FrameRate), page), "GroupBoxFrameRate" + c);
    // "Auto" writes 25 fps on the older formats' lines, nothing (the source's rate) on the newer ones'.
    const std::string& keep = ui.Page->SourceFrameRate ? IDS_PROFILE_LIST_SameAsSource : IDS_PROFILE_RADIOBUTTON_AutoFrameRate;
    ui.KeepRate = Named(new QRadioButton(Plain(keep), rate), "RadioButtonKeepFrameRate" + c);
    ui.ChangeRate
        = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_changeFrame), rate), "RadioButtonChangeFrameRate" + c);
    ui.Rates = MakeList(rate, "ComboBoxVideoFrameRate" + c, FrameRateTexts(ui.Page->FrameRates));
    auto* rl = new QVBoxLayout(rate);
    rl->addWidget(ui.KeepRate);
    rl->addWidget(ui.ChangeRate);
    rl->addWidget(ui.Rates);
    rl->addStretch();
    TVideoPageUi* self = &ui;
    connect(ui.ChangeRate, &QRadioButton::toggled, this, [this, self] { UpdateVideoPage(*self); });
    bindings_.push_back(std::make_unique<TRadioPairBinding>(ui.KeepRate, ui.ChangeRate, "VideoKeepFrameRate" + c));
    bindings_.push_back(std::make_unique<TComboBinding>(ui.Rates, "VideoFrameRate" + c));
    return rate;
}

QGroupBox* TfrmProfileEditor::BuildAspectGroup(const TCodecPage& page, QWidget* parent)
{
    const std::string& c = page.Suffix;
    auto* aspect = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_Aspect), parent), "GroupBoxAspect" + c);
    auto* asl = new QVBoxLayout(aspect);
    std::vector<QRadioButton*> aspects;
    auto addAspect = [&](const QString& text, const std::string& name) {
        auto* r = Named(new QRadioButton(text, aspect), name);
        asl->addWidget(r);
        aspects.push_back(r);
    };
    addAspect(Plain(IDS_PROFILE_RADIOBUTTON_Auto), "RadioButtonAutoSetAspect" + c);
    asl->setSpacing(2);
    if (page.Kind == TPageKind::H263) {
        addAspect(QStringLiteral("1:1"), "RadioButtonAspect11" + c);
        addAspect(QStringLiteral("4:3"), "RadioButtonAspect43" + c);
        addAspect(QStringLiteral("11:9"), "RadioButtonAspect119" + c);
        addAspect(QStringLiteral("16:9"), "RadioButtonAspect169" + c);
    } else {
        addAspect(QStringLiteral("4:3"), "RadioButtonAspect43" + c);
        addAspect(QStringLiteral("16:9"), "RadioButtonAspect169" + c);
    }
    asl->addStretch();
    bindings_.push_back(std::make_unique<TRadioGroupBinding>(aspects, "VideoAspect" + c));
    return aspect;
}

// The audio bitrate group of an audio page: the auto-set box and the track bar
// over the page's presets with its value, bound to the keys
// <keyPrefix>AudioBitRateUseAutoSet<keySuffix> and <keyPrefix>AudioBitRatePreset<keySuffix>.
QGroupBox* TfrmProfileEditor::BuildAudioBitrateGroup(TAudioPageUi& ui, QWidget* parent, const std::string& keyPrefix,
    const std::string& keySuffix, const QString& title)
{
    const TCodecPage& page = *ui.Page;
    const std::string& a = page.Suffix;
    auto* group = Named(new QGroupBox(title, parent), "GroupBoxAudioBitrate" + a);
    ui.AutoSet = Named(new QCheckBox(Plain(IDS_PROFILE_CHECKBOX_AutoSet), group), "CheckBoxAutoSetAudioBitrate" + a);
    ui.Bar = Named(new QSlider(Qt::Horizontal, group), "TrackBarAudioBitrate" + a);
    ui.Bar->setRange(1, page.TrackBarMax);
    ui.Bar->setTickPosition(QSlider::TicksBelow);
    ui.Bar->setPageStep(1);
    auto* current = MakeLabel(group, Plain(IDS_PROFILE_LABEL_CurrentBitrate));
    auto* value = MakeLabel(group, QString(), "LabelAudioBitrate" + a);
    auto* kbps = MakeLabel(group, Plain(IDS_PROFILE_LABEL_Kbps));
    auto* low = MakeLabel(group, Plain(IDS_PROFILE_LABEL_LowQuality));
    auto* high = MakeLabel(group, Plain(IDS_PROFILE_LABEL_HighQuliaty));
    high->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui.BarSide = { current, value, low, high, ui.Bar, kbps };
    auto* g = new QGridLayout(group);
    g->addWidget(ui.AutoSet, 0, 0, 1, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(current);
    row->addWidget(value);
    row->addWidget(kbps);
    row->addStretch();
    g->addLayout(row, 1, 0, 1, 2);
    g->addWidget(ui.Bar, 2, 0, 1, 2);
    g->addWidget(low, 3, 0);
    g->addWidget(high, 3, 1);
    const TPresetTable* t = page.Presets;
    connect(ui.Bar, &QSlider::valueChanged, value,
        [value, t](int p) { value->setText(QString::number(PresetValue(*t, p))); });
    value->setText(QString::number(PresetValue(*t, ui.Bar->value())));
    TAudioPageUi* self = &ui;
    connect(ui.AutoSet, &QCheckBox::toggled, this, [this, self] { UpdateAudioAuto(*self); });
    bindings_.push_back(std::make_unique<TCheckBinding>(ui.AutoSet, keyPrefix + "AudioBitRateUseAutoSet" + keySuffix));
    bindings_.push_back(std::make_unique<TPresetTrackBinding>(ui.Bar, value, *page.Presets, page.StartPosition,
        page.TrackBarMax, keyPrefix + "AudioBitRatePreset" + keySuffix));
    return group;
}

QWidget* TfrmProfileEditor::BuildAudioPage(const TCodecPage& page)
{
    const std::string& a = page.Suffix;
    auto* w = Named(new QWidget, "TabSheet" + a);
    auto ui = std::make_unique<TAudioPageUi>();
    ui->Page = &page;
    auto* grid = new QGridLayout(w);
    TAudioPageUi* self = ui.get();

    if (page.Kind == TPageKind::Audio) {
        QGroupBox* group = BuildAudioBitrateGroup(*ui, w, "", a, Accel(IDS_PROFILE_GROUPBOX_Bitrate));
        grid->addWidget(group, 0, 0, 2, 1);
    }

    ui->RateGroup = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_SampleRate), w), "GroupBoxSampleRate" + a);
    ui->Rates = MakeList(ui->RateGroup, "ComboBoxSampleRate" + a, SampleRateTexts(page.SampleRates));
    (new QVBoxLayout(ui->RateGroup))->addWidget(ui->Rates);
    auto* rateHolder = new QVBoxLayout;
    rateHolder->addWidget(ui->RateGroup);
    if (page.Channels == TChannelList::Ac3) {
        ui->SurroundRateGroup
            = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_SampleRate), w), "GroupBoxSampleRateAC3_6Channels");
        (new QVBoxLayout(ui->SurroundRateGroup))->addWidget(MakeLabel(ui->SurroundRateGroup, QStringLiteral("48000")));
        ui->SurroundRateGroup->hide();
        rateHolder->addWidget(ui->SurroundRateGroup);
    }
    auto* channels = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_Channels), w), "GroupBoxChannels" + a);
    ui->Channels = MakeList(channels, "ComboBoxAudioChannels" + a, ChannelTexts(page.Channels));
    (new QVBoxLayout(channels))->addWidget(ui->Channels);
    const int col = page.Kind == TPageKind::Audio ? 1 : 0;
    grid->addLayout(rateHolder, 0, col);
    grid->addWidget(channels, 1, col);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    connect(ui->Rates, &QComboBox::currentIndexChanged, this, [this, self] { UpdateAudioRange(*self); });
    connect(ui->Channels, &QComboBox::currentIndexChanged, this, [this, self] { UpdateAudioRange(*self); });
    bindings_.push_back(std::make_unique<TComboBinding>(ui->Rates, "AudioSampleRate" + a));
    bindings_.push_back(std::make_unique<TComboBinding>(ui->Channels, "AudioChannels" + a));
    audioPages_.push_back(std::move(ui));
    return w;
}

void TfrmProfileEditor::BuildDvdTab()
{
    TabDVD = Named(new QWidget, "TabSheetDVD");
    bitrates_.push_back(std::make_unique<TBitrateUi>());
    QGroupBox* video = BuildVideoBitrateGroup(*bitrates_.back(), "DVD", StandardVideoBitRates, DvdVideoTrackBarMax,
        DvdStartPosition, "DVDVideo", "", Accel(IDS_PROFILE_GROUPBOX_VideoBitrate));
    video->setParent(TabDVD);

    auto* aspect = Named(new QGroupBox(Plain(IDS_PROFILE_GROUPBOX_Aspect), TabDVD), "GroupBoxAspectDVD");
    dvdKeepAspect_
        = Named(new QRadioButton(Plain(IDS_PROFILE_RADIOBUTTON_Auto + " "), aspect), "RadioButtonAutoAspectDVD");
    dvdChangeAspect_
        = Named(new QRadioButton(Plain(IDS_PROFILE_LABEL_ChangeAspect), aspect), "RadioButtonChangeAspectDVD");
    dvdAspect_ = MakeList(aspect, "ComboBoxAspectDVD",
        { IDS_PROFILE_GROUPBOX_Aspect_1, IDS_PROFILE_GROUPBOX_Aspect_4, IDS_PROFILE_GROUPBOX_Aspect_16 });
    auto* al = new QVBoxLayout(aspect);
    al->addWidget(dvdKeepAspect_);
    al->addWidget(dvdChangeAspect_);
    al->addWidget(dvdAspect_);
    connect(dvdChangeAspect_, &QRadioButton::toggled, this, [this](bool on) { dvdAspect_->setEnabled(on); });
    bindings_.push_back(std::make_unique<TRadioPairBinding>(dvdKeepAspect_, dvdChangeAspect_, "DVDVideoKeepAspect"));
    bindings_.push_back(std::make_unique<TComboBinding>(dvdAspect_, "DVDVideoAspect"));

    // The DVD audio bitrate: an audio page without rate and channel lists.
    static const TCodecPage dvdAudio { "DVD", &IDS_PROFILE_CHECKBOX_DVD, TPageKind::Audio, &DvdAudioBitRates,
        static_cast<int>(DvdAudioBitRates.size()), DvdStartPosition };
    auto ui = std::make_unique<TAudioPageUi>();
    ui->Page = &dvdAudio;
    QGroupBox* audio = BuildAudioBitrateGroup(*ui, TabDVD, "DVD", "", Accel(IDS_PROFILE_GROUPBOX_AudioBitrate));
    audioPages_.push_back(std::move(ui));

    auto* grid = new QGridLayout(TabDVD);
    grid->addWidget(video, 0, 0, 2, 1);
    grid->addWidget(aspect, 0, 1);
    grid->addWidget(audio, 1, 1);
    grid->setRowStretch(2, 1);
    PageControl->addTab(TabDVD, Accel(IDS_PROFILE_CHECKBOX_DVD));
}

// ---- Show and collect ----

void TfrmProfileEditor::ShowSettings(const TProfileRecord& record)
{
    if (RecordFormat(record) != d_.Format)
        throw std::invalid_argument("a record of another format for " + d_.ClassName);
    shown_ = record;
    syncing_ = false;
    // The bitrate ranges follow once every list shows its value, so that an
    // intermediate pair of rate and channels moves no trackbar.
    showing_ = true;
    for (const auto& b : bindings_)
        b->Show(record);
    showing_ = false;
    for (const auto& p : audioPages_)
        UpdateAudioRange(*p);
    for (const auto& b : bindings_)
        b->Settled();
    // The end time is not stored: start + duration.
    editEnd_->setText(Q(EndTimeText(GetText(record, "StartTime"), GetText(record, "Duration"))));
    // The description shows whole, widening the editor up to a width that
    // still fits a small screen; a longer one shows from its start.
    constexpr int MaxDescriptionWidth = 800;
    const int needed = editDescription_->fontMetrics().horizontalAdvance(editDescription_->text()) + 16;
    editDescription_->setMinimumWidth(std::min(needed, MaxDescriptionWidth));
    editDescription_->setCursorPosition(0);
    if (isVisible())
        unchanged_ = CollectSettings();
}

bool TfrmProfileEditor::HasUnsavedChanges() const
{
    if (!unchanged_)
        return false;
    const TProfileRecord now = CollectSettings();
    for (const TFieldInfo& field : RecordFields(d_.Format))
        if (GetField(now, field.Key) != GetField(*unchanged_, field.Key))
            return true;
    return false;
}

void TfrmProfileEditor::reject()
{
    if (isVisible() && HasUnsavedChanges()) {
        const int answer = ShowLocalizedMessage(
            this, IDS_PROFILE_MESSAGEBOX_Unsaved, IDS_PROFILE_MESSAGEBOX_UnsavedTitle, TMsgIcon::Confirmation,
            {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel},
            {IDS_PROFILE_BUTTON_SaveChanges, IDS_PROFILE_BUTTON_DiscardChanges, IDS_Cancel});
        if (answer == mrYes) {
            SaveClick();
            return;
        }
        if (answer != mrNo)
            return; // Cancel or the question closed: go on editing
    }
    TModalForm::reject();
}

void TfrmProfileEditor::CollectSettings(TProfileRecord& record) const
{
    if (RecordFormat(record) != d_.Format)
        throw std::invalid_argument("a record of another format for " + d_.ClassName);
    for (const auto& b : bindings_)
        b->Collect(record);
}

TProfileRecord TfrmProfileEditor::CollectSettings() const
{
    TProfileRecord record = shown_;
    CollectSettings(record);
    return record;
}

// ---- Rules ----

void TfrmProfileEditor::showEvent(QShowEvent* event)
{
    TModalForm::showEvent(event);
    FormShow();
    // Changes are counted from what the window shows now.
    unchanged_ = CollectSettings();
}

void TfrmProfileEditor::FormShow()
{
    for (const auto& b : bitrates_)
        UpdateBitrate(*b);
    for (const auto& p : videoPages_)
        UpdateVideoPage(*p);
    for (const auto& p : audioPages_) {
        UpdateAudioAuto(*p);
        UpdateAudioRange(*p);
    }
    if (dvdAspect_)
        dvdAspect_->setEnabled(dvdChangeAspect_->isChecked());
    UpdateCodecPages();
    UpdateTimeControl();
    UpdateLoudness();
    UpdateTabs();
}

void TfrmProfileEditor::UpdateBitrate(const TBitrateUi& ui)
{
    const bool preset = ui.Preset->isChecked();
    SetEnabled(ui.PresetSide, preset);
    SetEnabled(ui.SpecifySide, !preset);
}

void TfrmProfileEditor::UpdateVideoPage(const TVideoPageUi& ui)
{
    if (ui.ChangeSize)
        SetEnabled(ui.SizeSide, ui.ChangeSize->isChecked());
    ui.Rates->setEnabled(ui.ChangeRate->isChecked());
}

void TfrmProfileEditor::UpdateAudioAuto(const TAudioPageUi& ui)
{
    if (ui.AutoSet)
        SetEnabled(ui.BarSide, !ui.AutoSet->isChecked());
}

void TfrmProfileEditor::UpdateAudioRange(const TAudioPageUi& ui)
{
    if (!ui.Bar || !ui.Rates || showing_)
        return;
    const int channels = ui.Channels->currentIndex();
    const TPositionRange range
        = AudioBitrateRange(ui.Page->RangeRule, ui.Page->TrackBarMax, ui.Rates->currentIndex(), channels);
    ui.Bar->setRange(range.Min, range.Max); // a position outside moves to the nearest end
    if (ui.SurroundRateGroup) {
        const bool surround = Ac3FixedSampleRate(ui.Page->RangeRule, channels);
        ui.SurroundRateGroup->setVisible(surround);
        ui.RateGroup->setVisible(!surround);
    }
}

void TfrmProfileEditor::UpdateCodecPages()
{
    TPageState state;
    state.Format = formatList_ ? formatList_->currentIndex() : 0;
    for (QComboBox* c : videoLists_)
        state.VideoIndex.push_back(c->currentIndex());
    for (QComboBox* c : audioLists_)
        state.AudioIndex.push_back(c->currentIndex());
    const TPageChoice choice = SelectPages(d_, state);
    if (videoListStack_)
        videoListStack_->setCurrentIndex(choice.VideoList);
    if (audioListStack_)
        audioListStack_->setCurrentIndex(choice.AudioList);
    if (PageControlVCodec) {
        PageControlVCodec->setCurrentIndex(choice.VideoPage);
        PageControlVCodec->setVisible(choice.VideoPage >= 0);
    }
    PageControlACodec->setCurrentIndex(choice.AudioPage);
    PageControlACodec->setVisible(choice.AudioPage >= 0);
}

void TfrmProfileEditor::UpdateTimeControl() { SetEnabled(timeControls_, checkTime_->isChecked()); }

void TfrmProfileEditor::UpdateTabs()
{
    const bool disabled = checkDisableAudio_ && checkDisableAudio_->isChecked();
    if (checkUsePreset_) {
        const int type = RadioCollectIndex(CheckedRadio(presetTypes_), 0);
        const TMpegPresetView v = MpegPresetView(checkUsePreset_->isChecked(), static_cast<uint8_t>(type), disabled);
        groupPresetType_->setEnabled(v.PresetRadiosEnabled);
        groupTargetFormat_->setEnabled(v.PresetRadiosEnabled);
        for (QGroupBox* g : { groupVideoCodec_, groupAudioCodec_, groupSameQuality_, groupDisableAudio_ })
            g->setVisible(v.CodecGroupsVisible);
        for (QComboBox* c : audioLists_)
            c->setEnabled(v.AudioListsEnabled);
        groupAudioCodec_->setEnabled(v.AudioListsEnabled);
        ShowTab(PageControl, TabVideo, v.VideoTabVisible);
        ShowTab(PageControl, TabAudio, v.AudioTabVisible);
        ShowTab(PageControl, TabDVD, v.DvdTabVisible);
        return;
    }
    for (QComboBox* c : audioLists_)
        c->setEnabled(!disabled);
    if (groupAudioCodec_)
        groupAudioCodec_->setEnabled(!disabled);
    ShowTab(PageControl, TabAudio, !disabled);
}

void TfrmProfileEditor::SizeEditChanged(TVideoPageUi& ui)
{
    if (syncing_)
        return;
    syncing_ = true;
    std::vector<std::string> entries;
    for (int i = 0; i < ui.Sizes->count(); ++i)
        entries.push_back(S(ui.Sizes->itemText(i)));
    ui.Sizes->setCurrentIndex(SizePresetIndex(entries, ui.Width->value(), ui.Height->value()));
    syncing_ = false;
}

void TfrmProfileEditor::SizeChosen(TVideoPageUi& ui)
{
    const auto size = SizePresetValue(S(ui.Sizes->currentText()));
    if (!size)
        return;
    syncing_ = true;
    ui.Width->setValue(size->first);
    ui.Height->setValue(size->second);
    syncing_ = false;
    SizeEditChanged(ui);
}

void TfrmProfileEditor::SizeEditLeft(QSpinBox* edit)
{
    edit->interpretText();
    edit->setValue(EvenVideoDimension(edit->value()));
}

void TfrmProfileEditor::TimeEditLeft(QLineEdit* edit)
{
    TTimeEdits edits { S(editStart_->text()), S(editDuration_->text()), S(editEnd_->text()) };
    const std::string remembered = S(remembered_);
    if (edit == editStart_)
        StartTimeExit(edits, remembered);
    else if (edit == editEnd_)
        EndTimeExit(edits, remembered);
    else
        DurationExit(edits, remembered);
    editStart_->setText(Q(edits.Start));
    editDuration_->setText(Q(edits.Duration));
    editEnd_->setText(Q(edits.End));
    remembered_ = edit->text();
}

bool TfrmProfileEditor::TurnTab(const QKeyEvent* event)
{
    const bool ctrl = (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == Qt::ControlModifier;
    if (!ctrl || (event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab))
        return false;
    const bool back = event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
    const int n = PageControl->count();
    for (int step = 1; step < n; ++step) {
        const int i = (PageControl->currentIndex() + (back ? n - step : step)) % n;
        if (PageControl->isTabVisible(i) && PageControl->tabBar()->isTabEnabled(i)) {
            PageControl->setCurrentIndex(i);
            break;
        }
    }
    return true;
}

void TfrmProfileEditor::keyPressEvent(QKeyEvent* event)
{
    if (TurnTab(event)) {
        event->accept();
        return;
    }
    TModalForm::keyPressEvent(event);
}

bool TfrmProfileEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (TurnTab(key))
            return true;
        // Alt with a letter whose control is disabled, or that no control
        // bears, is no text: it must not land in an edit.
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier && !key->text().isEmpty()
            && (qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched)))
            return true;
    }
    // Every control is watched for the keys above; only the time and size
    // edits for their focus.
    auto* time = qobject_cast<QLineEdit*>(watched);
    if (time != editStart_ && time != editDuration_ && time != editEnd_)
        time = nullptr;
    if (event->type() == QEvent::FocusIn) {
        if (time)
            remembered_ = time->text();
    } else if (event->type() == QEvent::FocusOut) {
        if (time)
            TimeEditLeft(time);
        else if (auto* s = qobject_cast<QSpinBox*>(watched))
            SizeEditLeft(s);
    }
    return TModalForm::eventFilter(watched, event);
}

void TfrmProfileEditor::ConfigureClick(QLabel* specify, const TPresetTable& table)
{
    const int32_t value = AskValue(this, IDS_ENTER_VIDEOBITRATE_TITLE, IDS_ENTER_VIDEOBITRATE, specify->text().toInt(),
        PresetMaximum(table), PresetMinimum(table));
    specify->setText(QString::number(value));
}

void TfrmProfileEditor::SaveClick()
{
    // The exit check of a time or size edit that still has the focus runs
    // before the window closes.
    QWidget* focused = focusWidget();
    btnSave->setFocus();
    if (focused && focused != btnSave && focusWidget() != btnSave) {
        if (auto* e = qobject_cast<QLineEdit*>(focused); e && (e == editStart_ || e == editDuration_ || e == editEnd_))
            TimeEditLeft(e);
        else if (auto* s = qobject_cast<QSpinBox*>(focused))
            SizeEditLeft(s);
    }
    done(mrOk);
}

void TfrmProfileEditor::TgpCodecChosen(bool video, int index)
{
    const std::optional<TTgpNotice> notice = video ? TgpNokiaVideoNotice(index) : TgpNokiaAudioNotice(index);
    if (notice)
        ShowMessageBox(this, *notice->Text, *notice->Title);
}

std::unique_ptr<TfrmProfileEditor> CreateProfileEditor(int format, QWidget* owner)
{
    return std::make_unique<TfrmProfileEditor>(EditorDescription(format), owner);
}
