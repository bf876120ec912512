#include "ui/dialogs/SettingsWnd.h"

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A long tool tip as rich text, so that it wraps instead of running across
// the screen.
QString WrappedTip(const std::string& text)
{
    return QStringLiteral("<p>") + DisplayText(text).toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

TfrmSettings::TfrmSettings(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setWindowTitle(Q(IDS_SETTINGS_FORM_Title));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    TabGeneral = new QWidget;
    TabGeneral->setObjectName(QStringLiteral("TabGeneral"));
    PageControl->addTab(TabGeneral, Q(IDS_PROFILE_PAGECONTROL_General));

    GroupBoxPriority = new QGroupBox(Q(IDS_SETTINGS_GROUPBOX_ThreadPriority), TabGeneral);
    GroupBoxPriority->setObjectName(QStringLiteral("GroupBoxPriority"));
    ComboBoxPriority = new QComboBox(GroupBoxPriority);
    ComboBoxPriority->setObjectName(QStringLiteral("ComboBoxPriority"));
    for (const std::string* text : {&IDS_SETTINGS_COMBOBOX_Idle, &IDS_SETTINGS_COMBOBOX_Normal,
                                    &IDS_SETTINGS_COMBOBOX_High, &IDS_SETTINGS_COMBOBOX_Realtime})
        ComboBoxPriority->addItem(Q(*text));
    (new QVBoxLayout(GroupBoxPriority))->addWidget(ComboBoxPriority);

    GroupBoxDirectShow = new QGroupBox(Q(IDS_SETTINGS_GROUPBOX_DirectShow), TabGeneral);
    GroupBoxDirectShow->setObjectName(QStringLiteral("GroupBoxDirectShow"));
    CheckBoxDirectShow = new QCheckBox(Q(IDS_SETTINGS_CHECKBOX_UseDirectShow), GroupBoxDirectShow);
    CheckBoxDirectShow->setObjectName(QStringLiteral("CheckBoxDirectShow"));
    (new QVBoxLayout(GroupBoxDirectShow))->addWidget(CheckBoxDirectShow);
    // What the Windows names mean here: the script route, and nice levels.
    CheckBoxDirectShow->setToolTip(WrappedTip(IDS_SETTINGS_HINT_DirectShow));
    ComboBoxPriority->setToolTip(WrappedTip(IDS_SETTINGS_HINT_Priority));

    LabelShutDown = new QLabel(Q(IDS_SETTINGS_LABEL_ShutDown), TabGeneral);
    LabelShutDown->setObjectName(QStringLiteral("LabelShutDown"));
    ComboBoxShutdownFlag = new QComboBox(TabGeneral);
    ComboBoxShutdownFlag->setObjectName(QStringLiteral("ComboBoxShutdownFlag"));
    ComboBoxShutdownFlag->addItem(Q(FormatText(IDS_SETTINGS_COMBOBOX_Close, {ApplicationTitle})));
    for (const std::string* text : {&IDS_SETTINGS_COMBOBOX_ShutDown, &IDS_SETTINGS_COMBOBOX_LogOff,
                                    &IDS_SETTINGS_COMBOBOX_Restart, &IDS_SETTINGS_COMBOBOX_Hibernate,
                                    &IDS_SETTINGS_COMBOBOX_Suspend})
        ComboBoxShutdownFlag->addItem(Q(*text));
    // Actions the system does not offer now are greyed, with its answer; a
    // stored choice stays selected so that OK keeps it.
    if (auto* model = qobject_cast<QStandardItemModel*>(ComboBoxShutdownFlag->model()))
        for (int action = 0; action < ComboBoxShutdownFlag->count(); ++action) {
            const std::string refusal = ShutdownActionRefusal(action);
            if (refusal.empty())
                continue;
            QStandardItem* item = model->item(action);
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            item->setToolTip(Q(FormatText(IDS_SETTINGS_HINT_NotOffered, {refusal})));
        }
    LabelShutDown->setBuddy(ComboBoxShutdownFlag);

    LabelParallelJobs = new QLabel(Q(IDS_SETTINGS_LABEL_ParallelJobs), TabGeneral);
    LabelParallelJobs->setObjectName(QStringLiteral("LabelParallelJobs"));
    SpinEditParallelJobs = new QSpinBox(TabGeneral);
    SpinEditParallelJobs->setObjectName(QStringLiteral("SpinEditParallelJobs"));
    SpinEditParallelJobs->setRange(0, MaxParallelJobs);
    LabelParallelJobs->setBuddy(SpinEditParallelJobs);
    LabelParallelJobsCores = new QLabel(Q(IDS_SETTINGS_LABEL_ParallelJobsCores), TabGeneral);
    LabelParallelJobsCores->setObjectName(QStringLiteral("LabelParallelJobsCores"));
    auto* jobs = new QHBoxLayout;
    jobs->addWidget(LabelParallelJobs);
    jobs->addWidget(SpinEditParallelJobs);
    jobs->addWidget(LabelParallelJobsCores, 1);

    CheckBoxClearConverted = new QCheckBox(Q(IDS_SETTINGS_CHECKBOX_ClearConverted), TabGeneral);
    CheckBoxClearConverted->setObjectName(QStringLiteral("CheckBoxClearConverted"));

    auto* page = new QVBoxLayout(TabGeneral);
    page->addWidget(GroupBoxPriority);
    page->addWidget(GroupBoxDirectShow);
    page->addWidget(LabelShutDown);
    page->addWidget(ComboBoxShutdownFlag);
    page->addLayout(jobs);
    page->addWidget(CheckBoxClearConverted);
    page->addStretch();

    // Where outputs go and what they are called.
    TabOutputs = new QWidget;
    TabOutputs->setObjectName(QStringLiteral("TabOutputs"));
    PageControl->addTab(TabOutputs, Q(IDS_SETTINGS_TAB_Outputs));
    LabelNameTemplate = new QLabel(Q(IDS_SETTINGS_LABEL_NameTemplate), TabOutputs);
    LabelNameTemplate->setObjectName(QStringLiteral("LabelNameTemplate"));
    EditNameTemplate = new QLineEdit(TabOutputs);
    EditNameTemplate->setObjectName(QStringLiteral("EditNameTemplate"));
    LabelNameTemplate->setBuddy(EditNameTemplate);
    LabelNameTemplateHint = new QLabel(Q(IDS_SETTINGS_HINT_NameTemplate), TabOutputs);
    LabelNameTemplateHint->setObjectName(QStringLiteral("LabelNameTemplateHint"));
    LabelNameTemplateHint->setWordWrap(true);
    LabelNameTemplateHint->setTextFormat(Qt::PlainText);
    CheckBoxBesideSource = new QCheckBox(Q(IDS_SETTINGS_CHECKBOX_BesideSource), TabOutputs);
    CheckBoxBesideSource->setObjectName(QStringLiteral("CheckBoxBesideSource"));
    LabelExistingOutputs = new QLabel(Q(IDS_SETTINGS_LABEL_ExistingOutputs), TabOutputs);
    LabelExistingOutputs->setObjectName(QStringLiteral("LabelExistingOutputs"));
    ComboBoxExistingOutputs = new QComboBox(TabOutputs);
    ComboBoxExistingOutputs->setObjectName(QStringLiteral("ComboBoxExistingOutputs"));
    // In TExistingOutputs order: the index is the stored value.
    for (const std::string* text : {&IDS_SETTINGS_COMBOBOX_ExistingAsk, &IDS_SETTINGS_COMBOBOX_ExistingSkip,
                                    &IDS_SETTINGS_COMBOBOX_ExistingOverwrite, &IDS_SETTINGS_COMBOBOX_ExistingNumber})
        ComboBoxExistingOutputs->addItem(Q(*text));
    LabelExistingOutputs->setBuddy(ComboBoxExistingOutputs);
    auto* outputs = new QVBoxLayout(TabOutputs);
    outputs->addWidget(LabelNameTemplate);
    outputs->addWidget(EditNameTemplate);
    outputs->addWidget(LabelNameTemplateHint);
    outputs->addWidget(CheckBoxBesideSource);
    outputs->addWidget(LabelExistingOutputs);
    outputs->addWidget(ComboBoxExistingOutputs);
    outputs->addStretch();

    ButtonOK = NewButton(Q(IDS_FILEINFORMATION_BUTTON_OK), "ButtonOK", true);
    ButtonCancel = NewButton(Q(IDS_SHUTDOWN_BUTTON_Cancel), "ButtonCancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addLayout(ButtonRow({ButtonOK, ButtonCancel}));

    connect(ButtonOK, &QPushButton::clicked, this, &TfrmSettings::OkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TfrmSettings::reject);
    FixClientSize(this, 395, 293);
    LoadFromOptions();
}

int TfrmSettings::Execute(QWidget* owner)
{
    TfrmSettings form(owner);
    const int result = form.ShowModal();
    if (result == mrOk)
        form.StoreToOptions();
    return result;
}

void TfrmSettings::LoadFromOptions()
{
    // A stored value outside the lists selects nothing rather than a wrong entry.
    ComboBoxPriority->setCurrentIndex(Options.Priority < ComboBoxPriority->count() ? Options.Priority : -1);
    ComboBoxShutdownFlag->setCurrentIndex(Options.ShutdownFlag < ComboBoxShutdownFlag->count() ? Options.ShutdownFlag
                                                                                               : -1);
    CheckBoxDirectShow->setChecked(Options.UseDirectShow);
    SpinEditParallelJobs->setValue(Options.ParallelJobs);
    CheckBoxClearConverted->setChecked(Options.ClearConvertedFiles);
    EditNameTemplate->setText(Q(Options.OutputNameTemplate));
    CheckBoxBesideSource->setChecked(Options.OutputBesideSource);
    ComboBoxExistingOutputs->setCurrentIndex(Options.ExistingOutputs < ComboBoxExistingOutputs->count()
                                                 ? Options.ExistingOutputs
                                                 : 0);
}

void TfrmSettings::StoreToOptions()
{
    // An empty selection keeps the stored value.
    if (ComboBoxPriority->currentIndex() >= 0)
        Options.Priority = static_cast<uint8_t>(ComboBoxPriority->currentIndex());
    if (ComboBoxShutdownFlag->currentIndex() >= 0)
        Options.ShutdownFlag = static_cast<uint8_t>(ComboBoxShutdownFlag->currentIndex());
    Options.UseDirectShow = CheckBoxDirectShow->isChecked();
    Options.ParallelJobs = SpinEditParallelJobs->value();
    Options.ClearConvertedFiles = CheckBoxClearConverted->isChecked();
    Options.OutputNameTemplate = S(EditNameTemplate->text());
    Options.OutputBesideSource = CheckBoxBesideSource->isChecked();
    if (ComboBoxExistingOutputs->currentIndex() >= 0)
        Options.ExistingOutputs = static_cast<uint8_t>(ComboBoxExistingOutputs->currentIndex());
}

void TfrmSettings::OkClick()
{
    done(mrOk);
}
