#pragma once

// Small two-way bindings between one control (or a few) and one field of a
// profile record, found by key. Show copies the field into the control;
// Collect copies the control back into the record.

#include "profiles/RecordFields.h"
#include "profiles/globals.h"

#include <QMetaObject>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;

class TBinding {
public:
    explicit TBinding(std::string key)
        : Key(std::move(key))
    {
    }
    virtual ~TBinding() = default;
    virtual void Show(const TProfileRecord& record) = 0;
    // Runs once every control shows the record and the rules between the
    // controls have run (a trackbar range may have moved a position).
    virtual void Settled() { }
    virtual void Collect(TProfileRecord& record) const = 0;
    const std::string Key;
};

// Text or time field <-> edit, as the text stands.
class TTextBinding : public TBinding {
public:
    TTextBinding(QLineEdit* edit, std::string key)
        : TBinding(std::move(key))
        , edit_(edit)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QLineEdit* edit_;
};

// Flag <-> check box.
class TCheckBinding : public TBinding {
public:
    TCheckBinding(QCheckBox* box, std::string key)
        : TBinding(std::move(key))
        , box_(box)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QCheckBox* box_;
};

// Flag <-> two radios: the first is checked for true, the second for false;
// true is collected when the first is checked.
class TRadioPairBinding : public TBinding {
public:
    TRadioPairBinding(QRadioButton* whenTrue, QRadioButton* whenFalse, std::string key)
        : TBinding(std::move(key))
        , true_(whenTrue)
        , false_(whenFalse)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QRadioButton* true_;
    QRadioButton* false_;
};

// Index <-> radio group: radio i stands for i. A value without a radio checks
// none; collecting with none checked leaves the field as it is.
class TRadioGroupBinding : public TBinding {
public:
    TRadioGroupBinding(std::vector<QRadioButton*> radios, std::string key)
        : TBinding(std::move(key))
        , radios_(std::move(radios))
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    std::vector<QRadioButton*> radios_;
};

// Index <-> list: a value past the list shows no selection, and no selection
// is collected as 255.
class TComboBinding : public TBinding {
public:
    TComboBinding(QComboBox* list, std::string key)
        : TBinding(std::move(key))
        , list_(list)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QComboBox* list_;
};

// Tenths <-> a spin box with one decimal (-230 shows as -23.0). A stored
// number outside the box's range is kept until the box is changed.
class TTenthsBinding : public TBinding {
public:
    TTenthsBinding(QDoubleSpinBox* spin, std::string key)
        : TBinding(std::move(key))
        , spin_(spin)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QDoubleSpinBox* spin_;
    int32_t stored_ = 0;
    double shown_ = 0;
};

// Loudness target (tenths of LUFS) <-> a list of named targets and a spin
// box for any other: a value the list names selects it, any other selects
// the list's last entry and shows in the box.
class TLoudnessTargetBinding : public TBinding {
public:
    TLoudnessTargetBinding(QComboBox* list, QDoubleSpinBox* spin, std::vector<int32_t> named, std::string key)
        : TBinding(std::move(key))
        , list_(list)
        , spin_(spin)
        , named_(std::move(named))
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QComboBox* list_;
    QDoubleSpinBox* spin_;
    std::vector<int32_t> named_; // one per list entry but the last ("other")
    int32_t stored_ = 0;
    double shown_ = 0;
};

// Number <-> spin box. A stored number outside the spin box's range (set when
// the binding is made) widens the range to show it, so that saving without a
// change keeps it; the next record shown starts from the set range again.
class TSpinBinding : public TBinding {
public:
    TSpinBinding(QSpinBox* spin, std::string key);
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QSpinBox* spin_;
    int min_;
    int max_;
};

// Preset bitrate <-> trackbar over a preset table: shown over the whole
// trackbar (1 to max) at the start position, then at the last entry equal to
// the value; collected as the entry at the position. A stored value that the
// trackbar cannot show (no entry of the table, or an entry beyond the
// trackbar's reach or usable range) is kept, and shown in the value label,
// until the trackbar moves: saving without touching it must not change the
// bitrate.
class TPresetTrackBinding : public TBinding {
public:
    TPresetTrackBinding(
        QSlider* bar, QLabel* valueLabel, const TPresetTable& table, int startPosition, int max, std::string key);
    ~TPresetTrackBinding() override;
    void Show(const TProfileRecord& record) override;
    void Settled() override;
    void Collect(TProfileRecord& record) const override;

private:
    QSlider* bar_;
    QLabel* valueLabel_;
    const TPresetTable& table_;
    int start_;
    int max_;
    int32_t stored_ = 0;
    bool keep_ = false; // the bar has not moved since it showed stored_, which it cannot show
    QMetaObject::Connection moved_;
};

// Number <-> label showing it in decimal (the specified bitrate).
class TNumberLabelBinding : public TBinding {
public:
    TNumberLabelBinding(QLabel* label, std::string key)
        : TBinding(std::move(key))
        , label_(label)
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;

private:
    QLabel* label_;
};

// Width and height <-> radios standing for fixed sizes. A size of no radio
// checks none; collecting with none checked leaves both fields as they are.
class TSizeRadioBinding : public TBinding {
public:
    struct TChoice {
        QRadioButton* Radio;
        int32_t Width, Height;
    };
    TSizeRadioBinding(std::vector<TChoice> choices, std::string widthKey, std::string heightKey)
        : TBinding(std::move(widthKey))
        , heightKey_(std::move(heightKey))
        , choices_(std::move(choices))
    {
    }
    void Show(const TProfileRecord& record) override;
    void Collect(TProfileRecord& record) const override;
    const std::string& HeightKey() const { return heightKey_; }

private:
    std::string heightKey_;
    std::vector<TChoice> choices_;
};
