#include "ui/dialogs/NameWnd.h"

#include "app/AppUtils.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

std::string TrimText(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

TfrmName::TfrmName(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmName"));
    setWindowTitle(Q(IDS_NAME_FORM_ProfileName));

    lblName = new QLabel(Q(IDS_NAME_LABEL_EnterName), this);
    lblName->setObjectName(QStringLiteral("lblName"));
    txtFileName = new QLineEdit(this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    lblName->setBuddy(txtFileName);
    btnOK = new QPushButton(Q(IDS_FILEINFORMATION_BUTTON_OK), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(Q(IDS_SHUTDOWN_BUTTON_Cancel), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblName);
    layout->addWidget(txtFileName);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TfrmName::OkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmName::reject);
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
