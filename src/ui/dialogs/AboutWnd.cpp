#include "ui/dialogs/AboutWnd.h"

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Artwork.h"
#include "ui/common/Links.h"
#include "ui/common/QtText.h"
#include "ui/common/Shell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifndef QV_VERSION
#define QV_VERSION "0.0.0"
#endif

TfrmAbout::TfrmAbout(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(Q(IDS_ABOUT_FORM_Caption));

    constexpr int kWidth = 468;
    imgAbout = new QLabel(this);
    imgAbout->setObjectName(QStringLiteral("imgAbout"));
    imgAbout->setPixmap(DrawAboutPicture(QSize(kWidth, 190)));
    imgAbout->setFixedSize(kWidth, 190);

    lblHeading = new QLabel(Q(IDS_ABOUT_FORM_Caption), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    lblTitle = new QLabel(Q(ApplicationTitle), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle->setFont(big);
    // Dark text on the light window, whatever an owner's style sheet says of labels.
    lblTitle->setStyleSheet(QStringLiteral("color: #24364f;"));
    lblVersion = new QLabel(Q(IDS_ABOUT_LABEL_Version) + QLatin1Char(' ') + QStringLiteral(QV_VERSION), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblLicence = new QLabel(Q(IDS_ABOUT_LABEL_Licence), this);
    lblLicence->setObjectName(QStringLiteral("lblLicence"));
    lblLicence->setWordWrap(true);
    lblLicence->setContentsMargins(16, 0, 16, 0);
    // The address as a link the user can follow or copy.
    const QString homepage = QString::fromLatin1(HomepageUrl);
    lblHomepage = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(homepage.toHtmlEscaped()), this);
    lblHomepage->setObjectName(QStringLiteral("lblHomepage"));
    lblHomepage->setTextFormat(Qt::RichText);
    lblHomepage->setTextInteractionFlags(Qt::TextBrowserInteraction);
    lblHomepage->setOpenExternalLinks(false);
    connect(lblHomepage, &QLabel::linkActivated, this, [](const QString& url) { OpenUrl(QUrl(url)); });
    for (QLabel* l : {lblHeading, lblTitle, lblVersion, lblLicence, lblHomepage})
        l->setAlignment(Qt::AlignCenter);

    btnTechnicalSupport = new QPushButton(Q(IDS_MAIN_MENUITEM_TechnicalSupport), this);
    btnTechnicalSupport->setObjectName(QStringLiteral("btnTechnicalSupport"));
    btnOnlineResources = new QPushButton(Q(IDS_MAIN_MENUITEM_OnlineResources), this);
    btnOnlineResources->setObjectName(QStringLiteral("btnOnlineResources"));
    for (QPushButton* link : {btnTechnicalSupport, btnOnlineResources}) {
        link->setFlat(true);
        link->setCursor(Qt::PointingHandCursor);
        link->setAutoDefault(false);
        QFont f = link->font();
        f.setUnderline(true);
        link->setFont(f);
    }
    btnOK = NewButton(Q(IDS_ABOUT_BUTTON_OK), "btnOK", true);

    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(btnTechnicalSupport);
    links->addSpacing(24);
    links->addWidget(btnOnlineResources);
    links->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(imgAbout);
    layout->addWidget(lblHeading);
    layout->addWidget(lblTitle);
    layout->addWidget(lblVersion);
    layout->addWidget(lblLicence);
    layout->addWidget(lblHomepage);
    layout->addStretch();
    layout->addLayout(links);
    layout->addLayout(ButtonRow({btnOK}, true));

    connect(btnTechnicalSupport, &QPushButton::clicked, this, [] { OpenTechnicalSupport(); });
    connect(btnOnlineResources, &QPushButton::clicked, this, &TfrmAbout::OnlineResourcesRequested);
    connect(btnOK, &QPushButton::clicked, this, [this] { done(mrOk); });
    setWindowIcon(ProgramIcon());
    FixClientSize(this, kWidth, 375);
}
