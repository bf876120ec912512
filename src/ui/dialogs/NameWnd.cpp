#include "ui/dialogs/NameWnd.h"

#include "app/AppUtils.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QLabel>
#include <QLineEdit>

TfrmName::TfrmName(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmName"));
    setWindowTitle(Q(IDS_NAME_FORM_ProfileName));

    BuildEntryForm("lblName", Q(IDS_NAME_LABEL_EnterName), "txtFileName", lblName, txtFileName, btnOK, btnCancel,
                   [this] { OkClick(); });
    FixClientSize(this, 263, 116);
    txtFileName->setFocus();
}

std::string TfrmName::Name() const
{
    return S(txtFileName->text());
}

void TfrmName::SetName(const std::string& name)
{
    txtFileName->setText(Q(name));
    txtFileName->selectAll();
}

void TfrmName::OkClick()
{
    const std::string name = TrimText(Name());
    if (ValidFileName(name)) {
        // The caller uses the box's text as the profile's file name, so it
        // gets the name without the blanks around it.
        txtFileName->setText(Q(name));
        accepted_ = true;
        done(mrOk);
        return;
    }
    ShowLocalizedMessage(this, IDS_PROFILE_MESSAGEBOX_InvalidFileName, IDS_PROFILE_MESSAGEBOX_InvalidFileNameTitle,
                         TMsgIcon::Warning, {TMsgButton::OK, TMsgButton::Cancel}, {IDS_OK, IDS_Cancel});
    txtFileName->setFocus();
    txtFileName->selectAll();
}
