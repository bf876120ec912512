#include "ui/dialogs/ShutdownWnd.h"

#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/QtText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
int gDefaultTickMs = 1000;
}

int TfrmShutdown::DefaultTickMs()
{
    return gDefaultTickMs;
}

void TfrmShutdown::SetDefaultTickMs(int ms)
{
    gDefaultTickMs = ms > 0 ? ms : 1000;
}

TfrmShutdown::TfrmShutdown(QWidget* owner, int tickMs) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmShutdown"));
    setWindowTitle(Q(IDS_SHUTDOWN_FORM_Caption));

    lblWarning = new QLabel(Q(IDS_SHUTDOWN_LABEL_Warning), this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    QFont big = lblWarning->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    lblWarning->setFont(big);
    lblShutdownDescription = new QLabel(DisplayText(IDS_SHUTDOWN_LABEL_WarningDetail), this);
    lblShutdownDescription->setObjectName(QStringLiteral("lblShutdownDescription"));
    lblShutdownDescription->setWordWrap(true);
    // Which action follows, by the name the settings window gives it.
    lblAction = new QLabel(Q(ShutdownActionText(Options.ShutdownFlag)), this);
    lblAction->setObjectName(QStringLiteral("lblAction"));
    QFont bold = lblAction->font();
    bold.setBold(true);
    lblAction->setFont(bold);
    lblTimeOut = new QLabel(this);
    lblTimeOut->setObjectName(QStringLiteral("lblTimeOut"));
    btnCancel = NewButton(Q(IDS_SHUTDOWN_BUTTON_Cancel), "btnCancel", true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblWarning);
    layout->addWidget(lblShutdownDescription);
    layout->addWidget(lblAction);
    layout->addWidget(lblTimeOut);
    layout->addStretch();
    layout->addLayout(ButtonRow({btnCancel}, true));
    connect(btnCancel, &QPushButton::clicked, this, &TfrmShutdown::reject);

    secondsLeft_ = 30;
    lblTimeOut->setText(Q(FormatText(IDS_SHUTDOWN_LABEL_TimeLeft, {secondsLeft_})));
    tmrShutdown = new QTimer(this);
    tmrShutdown->setObjectName(QStringLiteral("tmrShutdown"));
    tmrShutdown->setInterval(tickMs > 0 ? tickMs : 1000);
    connect(tmrShutdown, &QTimer::timeout, this, &TfrmShutdown::Tick);
    connect(this, &QDialog::finished, tmrShutdown, &QTimer::stop);
    tmrShutdown->start();
    FixClientSize(this, 196, 147);
}

void TfrmShutdown::Tick()
{
    if (result() != mrNone && !isVisible())
        return; // already closed
    --secondsLeft_;
    if (secondsLeft_ < 0) {
        tmrShutdown->stop();
        emit ticked(secondsLeft_);
        done(mrOk);
        return;
    }
    lblTimeOut->setText(Q(FormatText(IDS_SHUTDOWN_LABEL_TimeLeft, {secondsLeft_})));
    emit ticked(secondsLeft_);
}

bool TfrmShutdown::Execute(QWidget* owner)
{
    TfrmShutdown form(owner);
    return form.ShowModal() == mrOk;
}
