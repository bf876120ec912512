#include "ui/dialogs/EnterValueWnd.h"

#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

int ParseIntegerEntry(const std::string& text, int32_t& value)
{
    const size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    size_t last = n;
    while (last > i && text[last - 1] == ' ')
        --last;
    bool negative = false;
    if (i < last && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= last)
        return static_cast<int>(i) + 1; // no digits at all
    int64_t magnitude = 0;
    for (size_t p = i; p < last; ++p) {
        const char c = text[p];
        if (c < '0' || c > '9')
            return static_cast<int>(p) + 1;
        magnitude = magnitude * 10 + (c - '0');
        // Beyond the 32-bit range: the digit that overflows is the error.
        if (magnitude > (negative ? 2147483648LL : 2147483647LL))
            return static_cast<int>(p) + 1;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return 0;
}

TfrmEnterValue::TfrmEnterValue(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmEnterValue"));
    setWindowTitle(Q(IDS_NAME_FORM_Title));

    BuildEntryForm("lblDisplayMessage", Q(IDS_NAME_LABEL_LabelDisplayMessage), "txtValue", lblDisplayMessage, txtValue,
                   btnOK, btnCancel, [this] { OkClick(); });
    lblRange = new QLabel(this);
    lblRange->setObjectName(QStringLiteral("lblRange"));
    if (auto* column = qobject_cast<QVBoxLayout*>(layout()))
        column->insertWidget(2, lblRange);
    FixClientSize(this, 267, 133);
    txtValue->setFocus();
}

void TfrmEnterValue::OkClick()
{
    int32_t v = 0;
    const int errorPos = ParseIntegerEntry(S(txtValue->text()), v);
    if (errorPos != 0) {
        ShowMessageBox(this, FormatText(IDS_INVAILD_VALUE, {errorPos}), IDS_INVAILD_VALUE_TITLE, TMsgIcon::Warning);
    } else if (v < Minimum || v > Maximum) {
        ShowMessageBox(this, FormatText(IDS_INVAILD_VALUE_BETWEEN, {Minimum, Maximum}), IDS_INVAILD_VALUE_BETWEEN_TITLE,
                       TMsgIcon::Warning);
    } else {
        value_ = v;
        accepted_ = true;
        done(mrOk);
        return;
    }
    txtValue->setFocus();
    txtValue->selectAll();
}

int32_t AskValue(QWidget* owner, const std::string& caption, const std::string& message, int32_t current,
                 int32_t maximum, int32_t minimum)
{
    TfrmEnterValue form(owner);
    form.setWindowTitle(Q(caption));
    form.lblDisplayMessage->setText(DisplayText(message));
    form.Maximum = maximum;
    form.Minimum = minimum;
    form.lblRange->setText(DisplayText(FormatText(IDS_ENTER_VALUE_Range, {minimum, maximum})));
    form.txtValue->setText(QString::number(current));
    form.txtValue->selectAll();
    form.ShowModal();
    return form.Accepted() ? form.Value() : current;
}
