#include "ui/editors/Bindings.h"

#include "profiles/EditorRules.h"
#include "ui/common/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

void TTextBinding::Show(const TProfileRecord& record)
{
    edit_->setText(Q(GetText(record, Key)));
    edit_->setCursorPosition(0); // a long description shows its beginning
}
void TTextBinding::Collect(TProfileRecord& record) const { SetField(record, Key, S(edit_->text())); }

void TCheckBinding::Show(const TProfileRecord& record) { box_->setChecked(GetFlag(record, Key)); }
void TCheckBinding::Collect(TProfileRecord& record) const { SetField(record, Key, box_->isChecked()); }

void TRadioPairBinding::Show(const TProfileRecord& record)
{
    if (GetFlag(record, Key))
        true_->setChecked(true);
    else
        false_->setChecked(true);
}

void TRadioPairBinding::Collect(TProfileRecord& record) const { SetField(record, Key, true_->isChecked()); }

// Unchecks every radio of a group, whatever its auto-exclusive state.
static void UncheckAll(const std::vector<QRadioButton*>& radios)
{
    for (QRadioButton* r : radios) {
        const bool exclusive = r->autoExclusive();
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(exclusive);
    }
}

void TRadioGroupBinding::Show(const TProfileRecord& record)
{
    const int shown = RadioShowIndex(GetIndex(record, Key), static_cast<int>(radios_.size()));
    UncheckAll(radios_);
    if (shown >= 0)
        radios_[static_cast<size_t>(shown)]->setChecked(true);
}

void TRadioGroupBinding::Collect(TProfileRecord& record) const
{
    int checked = -1;
    for (size_t i = 0; i < radios_.size() && checked < 0; ++i)
        if (radios_[i]->isChecked())
            checked = static_cast<int>(i);
    SetField(record, Key, RadioCollectIndex(checked, GetIndex(record, Key)));
}

void TComboBinding::Show(const TProfileRecord& record)
{
    list_->setCurrentIndex(ListShowIndex(GetIndex(record, Key), list_->count()));
}

void TComboBinding::Collect(TProfileRecord& record) const
{
    SetField(record, Key, ListCollectIndex(list_->currentIndex()));
}

TSpinBinding::TSpinBinding(QSpinBox* spin, std::string key)
    : TBinding(std::move(key))
    , spin_(spin)
    , min_(spin->minimum())
    , max_(spin->maximum())
{
}

void TSpinBinding::Show(const TProfileRecord& record)
{
    const int32_t value = GetNumber(record, Key);
    spin_->setRange(std::min(min_, value), std::max(max_, value));
    spin_->setValue(value);
}

void TSpinBinding::Collect(TProfileRecord& record) const
{
    SetField(record, Key, static_cast<int32_t>(spin_->value()));
}

TPresetTrackBinding::TPresetTrackBinding(
    QSlider* bar, QLabel* valueLabel, const TPresetTable& table, int startPosition, int max, std::string key)
    : TBinding(std::move(key))
    , bar_(bar)
    , valueLabel_(valueLabel)
    , table_(table)
    , start_(startPosition)
    , max_(max)
{
    // Any move counts, by the user or by a range rule that followed another
    // control: from then on the position's entry is the value.
    moved_ = QObject::connect(bar_, &QSlider::valueChanged, bar_, [this] { keep_ = false; });
}

TPresetTrackBinding::~TPresetTrackBinding() { QObject::disconnect(moved_); }

void TPresetTrackBinding::Show(const TProfileRecord& record)
{
    stored_ = GetNumber(record, Key);
    bar_->setRange(1, max_);
    bar_->setValue(ShownPresetPosition(table_, stored_, start_, max_));
}

void TPresetTrackBinding::Settled()
{
    const int32_t shown = PresetValue(table_, bar_->value());
    keep_ = shown != stored_;
    if (valueLabel_)
        valueLabel_->setText(QString::number(keep_ ? stored_ : shown));
}

void TPresetTrackBinding::Collect(TProfileRecord& record) const
{
    SetField(record, Key, keep_ ? stored_ : PresetValue(table_, bar_->value()));
}

void TNumberLabelBinding::Show(const TProfileRecord& record)
{
    label_->setText(QString::number(GetNumber(record, Key)));
}

void TNumberLabelBinding::Collect(TProfileRecord& record) const
{
    SetField(record, Key, static_cast<int32_t>(label_->text().toInt()));
}

void TSizeRadioBinding::Show(const TProfileRecord& record)
{
    const int32_t w = GetNumber(record, Key);
    const int32_t h = GetNumber(record, heightKey_);
    std::vector<QRadioButton*> radios;
    for (const TChoice& c : choices_)
        radios.push_back(c.Radio);
    UncheckAll(radios);
    for (const TChoice& c : choices_)
        if (c.Width == w && c.Height == h) {
            c.Radio->setChecked(true);
            return;
        }
}

void TSizeRadioBinding::Collect(TProfileRecord& record) const
{
    for (const TChoice& c : choices_)
        if (c.Radio->isChecked()) {
            SetField(record, Key, c.Width);
            SetField(record, heightKey_, c.Height);
            return;
        }
}

// A spin box's value in tenths; while it still shows what Show gave it, the
// stored value (which the box may have had to round or bring into range).
static int32_t SpinTenths(const QDoubleSpinBox* spin, double shown, int32_t stored)
{
    return spin->value() == shown ? stored : static_cast<int32_t>(std::lround(spin->value() * 10));
}

void TTenthsBinding::Show(const TProfileRecord& record)
{
    stored_ = GetNumber(record, Key);
    spin_->setValue(stored_ / 10.0);
    shown_ = spin_->value();
}
void TTenthsBinding::Collect(TProfileRecord& record) const { SetField(record, Key, SpinTenths(spin_, shown_, stored_)); }

void TLoudnessTargetBinding::Show(const TProfileRecord& record)
{
    stored_ = GetNumber(record, Key);
    const auto named = std::find(named_.begin(), named_.end(), stored_);
    list_->setCurrentIndex(static_cast<int>(named - named_.begin()));
    spin_->setValue(stored_ / 10.0);
    shown_ = spin_->value();
}
void TLoudnessTargetBinding::Collect(TProfileRecord& record) const
{
    const int i = list_->currentIndex();
    SetField(record, Key, i >= 0 && i < static_cast<int>(named_.size()) ? named_[static_cast<size_t>(i)]
                                                                          : SpinTenths(spin_, shown_, stored_));
}
