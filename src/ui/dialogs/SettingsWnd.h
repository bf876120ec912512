#pragma once

// The settings window: encoder priority, DirectShow use, what "Shutdown
// Windows" does after a batch and how many files convert at once. The choice
// reaches Options on OK only; the caller stores it in options.ini.

#include "ui/common/ModalForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

class TfrmSettings : public TModalForm {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget* owner = nullptr);

    // Creates the window over Owner, shows it modally and releases it; on OK
    // (mrOk) the choice has been copied into Options.
    static int Execute(QWidget* owner);

    // Controls from Options / into Options.
    void LoadFromOptions();
    void StoreToOptions();

    QTabWidget* PageControl;
    QWidget* TabGeneral;
    QGroupBox* GroupBoxPriority;
    QComboBox* ComboBoxPriority;
    QGroupBox* GroupBoxDirectShow;
    QCheckBox* CheckBoxDirectShow;
    QLabel* LabelShutDown;
    QComboBox* ComboBoxShutdownFlag;
    QLabel* LabelParallelJobs;
    QSpinBox* SpinEditParallelJobs;
    QLabel* LabelParallelJobsCores;
    QCheckBox* CheckBoxClearConverted;
    QWidget* TabOutputs;
    QLabel* LabelNameTemplate;
    QLineEdit* EditNameTemplate;
    QLabel* LabelNameTemplateHint;
    QCheckBox* CheckBoxBesideSource;
    QLabel* LabelExistingOutputs;
    QComboBox* ComboBoxExistingOutputs;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

private:
    void OkClick();
};
