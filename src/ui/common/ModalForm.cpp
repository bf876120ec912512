#include "ui/common/ModalForm.h"

#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <deque>

namespace {
std::deque<std::function<void(QDialog&)>> gFormDrivers;
}

TModalForm::TModalForm(QWidget* owner) : QDialog(owner)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

int TModalForm::ShowModal()
{
    // A form sized by its layout gets its size only when first shown; take it
    // now, or the centring would use a size the window does not have.
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    CenterOver(this, parentWidget());
    setResult(mrNone);
    // A busy cursor of the caller is for its own work: the user works with the
    // form under the normal cursor, and the caller's comes back afterwards.
    struct TNormalCursor {
        bool pushed = QApplication::overrideCursor() != nullptr;
        TNormalCursor()
        {
            if (pushed)
                QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
        }
        ~TNormalCursor()
        {
            if (pushed)
                QApplication::restoreOverrideCursor();
        }
    } normalCursor;
    if (DialogHook::DriveForm(*this))
        return result() == mrNone ? mrCancel : result();
    if (DialogHook::TestMode()) {
        DialogHook::RecordUnanswered();
        return mrCancel;
    }
    const int r = exec();
    return r == mrNone ? mrCancel : r;
}

namespace DialogHook {

void QueueFormDriver(std::function<void(QDialog&)> driver)
{
    gFormDrivers.push_back(std::move(driver));
}

int PendingFormDrivers()
{
    return static_cast<int>(gFormDrivers.size());
}

void ClearFormDrivers()
{
    gFormDrivers.clear();
}

bool DriveForm(QDialog& form)
{
    if (gFormDrivers.empty())
        return false;
    auto driver = std::move(gFormDrivers.front());
    gFormDrivers.pop_front();
    form.show();
    if (driver)
        driver(form);
    if (form.isVisible())
        form.done(mrCancel);
    return true;
}

} // namespace DialogHook

QPushButton* TModalForm::NewButton(const QString& text, const char* name, bool isDefault)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    if (isDefault)
        b->setDefault(true);
    return b;
}

QHBoxLayout* TModalForm::ButtonRow(std::initializer_list<QWidget*> buttons, bool centred)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QWidget* b : buttons)
        row->addWidget(b);
    if (centred)
        row->addStretch();
    return row;
}

void TModalForm::BuildEntryForm(const char* labelName, const QString& labelText, const char* editName, QLabel*& label,
                                QLineEdit*& edit, QPushButton*& ok, QPushButton*& cancel, std::function<void()> onOk)
{
    label = new QLabel(labelText, this);
    label->setObjectName(QString::fromLatin1(labelName));
    edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(editName));
    label->setBuddy(edit);
    ok = NewButton(Q(IDS_FILEINFORMATION_BUTTON_OK), "btnOK", true);
    cancel = NewButton(Q(IDS_SHUTDOWN_BUTTON_Cancel), "btnCancel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit);
    layout->addStretch();
    layout->addLayout(ButtonRow({ok, cancel}));

    connect(ok, &QPushButton::clicked, this, std::move(onOk));
    connect(cancel, &QPushButton::clicked, this, &TModalForm::reject);
}
