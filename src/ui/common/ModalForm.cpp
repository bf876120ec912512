#include "ui/common/ModalForm.h"

#include "ui/common/QtText.h"

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
    CenterOver(this, parentWidget());
    setResult(mrNone);
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
