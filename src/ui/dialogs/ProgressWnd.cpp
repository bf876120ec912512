#include "ui/dialogs/ProgressWnd.h"

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Artwork.h"
#include "ui/common/ElidedLabel.h"
#include "ui/common/QtText.h"

#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

std::optional<bool> gTrayOverride;

const char* kZeroTime = "0:00:00";

// The title strip: our banner picture under the state word and the wheel.
class TBannerPanel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawPixmap(0, 0, DrawBanner(size()));
    }
};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString())
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString StatusZero()
{
    return Q(CaptionedFigure(IDS_CONVERTING_Status, "0%"));
}

} // namespace

TfrmProgress::TfrmProgress(QWidget* owner) : TModalForm(owner)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setWindowTitle(Q(IDS_CONVERTING_FORM_Caption));
    setWindowIcon(ProgramIcon());

    BuildTitleStrip();
    BuildFigures();
    BuildFileLines();
    BuildStatusGrid();
    BuildButtons();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnlTop);
    layout->addWidget(pnlStatus, 1);
    layout->addWidget(lineBottom);
    layout->addWidget(pnlButtons);

    ConnectControls();
    anmConvert->Stop();
    anmConvert->hide();
    FixClientSize(this, 524, 348);
}

void TfrmProgress::BuildTitleStrip()
{
    // Our banner picture under the state word and the wheel.
    pnlTop = new TBannerPanel(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(43);
    lblCovnerting = MakeLabel(pnlTop, "lblCovnerting", Q(IDS_CONVERTING_LABEL_Converting));
    QFont stateFont = lblCovnerting->font();
    stateFont.setBold(true);
    stateFont.setPointSizeF(stateFont.pointSizeF() * 1.3);
    lblCovnerting->setFont(stateFont);
    lblCovnerting->setStyleSheet(QStringLiteral("color: white;"));
    anmConvert = new TSpinner(pnlTop);
    anmConvert->setObjectName(QStringLiteral("anmConvert"));
    anmConvert->setFixedSize(28, 28);
    auto* top = new QHBoxLayout(pnlTop);
    top->setContentsMargins(48, 0, 12, 0);
    top->addWidget(lblCovnerting);
    top->addStretch();
    top->addWidget(anmConvert);
}

void TfrmProgress::BuildFigures()
{
    pnlStatus = new QWidget(this);
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    lblStatusRemainingSingle =
        MakeLabel(pnlStatus, "lblStatusRemainingSingle", Q(IDS_CONVERTING_LABEL_RemainingTime));
    lblStatusRemaining = MakeLabel(pnlStatus, "lblStatusRemaining", QString::fromLatin1(kZeroTime));
    lblStatus = MakeLabel(pnlStatus, "lblStatus", StatusZero());
    lblStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prgStatus = new QProgressBar(pnlStatus);
    prgStatus->setObjectName(QStringLiteral("prgStatus"));
    prgBatch = new QProgressBar(pnlStatus);
    prgBatch->setObjectName(QStringLiteral("prgBatch"));
    for (QProgressBar* bar : {prgStatus, prgBatch}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setFixedHeight(25);
    }
    lblBatch = MakeLabel(pnlStatus, "lblBatch", StatusZero());
    lblBatch->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblRemaining = MakeLabel(pnlStatus, "lblRemaining", Q(IDS_CONVERTING_LABEL_RemainingTime));
    lblBatchRemaining = MakeLabel(pnlStatus, "lblBatchRemaining", QString::fromLatin1(kZeroTime));
    lblElapsed = MakeLabel(pnlStatus, "lblElapsed", Q(IDS_CONVERTING_LABEL_ElapsedTime));
    lblBatchElapsed = MakeLabel(pnlStatus, "lblBatchElapsed", QString::fromLatin1(kZeroTime));
    lblEstimated = MakeLabel(pnlStatus, "lblEstimated", Q(IDS_CONVERTING_LABEL_EstiamtedTime));
    lblBatchEstimated = MakeLabel(pnlStatus, "lblBatchEstimated", QString::fromLatin1(kZeroTime));
    lblWorking = new TElidedLabel(pnlStatus);
    lblWorking->setObjectName(QStringLiteral("lblWorking"));
    lblOutput = new TElidedLabel(pnlStatus);
    lblOutput->setObjectName(QStringLiteral("lblOutput"));
    for (QLabel* l : {lblWorking, lblOutput}) {
        l->setTextFormat(Qt::PlainText);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // long names must not widen the window
    }
    SetElidedText(lblWorking, IDS_CONVERTING_PleaseWait);
    lblStopWhenDone = MakeLabel(pnlStatus, "lblStopWhenDone", Q(IDS_CONVERTING_LABEL_StopWhenDone));
    QFont bold = lblStopWhenDone->font();
    bold.setBold(true);
    lblStopWhenDone->setFont(bold);
    lblStopWhenDone->setAlignment(Qt::AlignCenter);
    lblStopWhenDone->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Keeps its room while hidden, so the window does not jump.
    QSizePolicy keep = lblStopWhenDone->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    lblStopWhenDone->setSizePolicy(keep);
    lblStopWhenDone->hide();
    // The box says what happens: the Trash, or for good where options.ini
    // asks for that (SourceToTrash=0).
    chkDelSource = new QCheckBox(Q(Options.SourceToTrash ? IDS_CONVERTING_CHECK_Delete
                                                         : IDS_CONVERTING_CHECK_DeleteForever),
                                 pnlStatus);
    chkDelSource->setObjectName(QStringLiteral("chkDelSource"));
    chkShutdown = new QCheckBox(Q(IDS_CONVERTING_CHECK_Shutdown), pnlStatus);
    chkShutdown->setObjectName(QStringLiteral("chkShutdown"));
}

void TfrmProgress::BuildFileLines()
{
    // One line per running file when several convert at once; it takes the
    // place of the single file's figures. Beyond MaxShownRunningFiles lines
    // the lines scroll, so that many jobs cannot push the window off the screen.
    scrRunning = new QScrollArea(pnlStatus);
    scrRunning->setObjectName(QStringLiteral("scrRunning"));
    scrRunning->setFrameShape(QFrame::NoFrame);
    scrRunning->setWidgetResizable(true);
    scrRunning->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pnlRunning = new QWidget(scrRunning);
    pnlRunning->setObjectName(QStringLiteral("pnlRunning"));
    auto* lines = new QVBoxLayout(pnlRunning);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(2);
    lines->addStretch();
    scrRunning->setWidget(pnlRunning);
    scrRunning->hide();
}

void TfrmProgress::BuildStatusGrid()
{
    auto* grid = new QGridLayout(pnlStatus);
    grid->setColumnStretch(2, 1);
    grid->addWidget(lblStatusRemainingSingle, 0, 0);
    grid->addWidget(lblStatusRemaining, 0, 1);
    grid->addWidget(lblStatus, 0, 2, 1, 2);
    grid->addWidget(prgStatus, 1, 0, 1, 4);
    grid->addWidget(scrRunning, 1, 0, 1, 4);
    grid->addWidget(prgBatch, 2, 0, 1, 4);
    grid->addWidget(lblBatch, 3, 0, 1, 4);
    grid->addWidget(lblRemaining, 4, 0);
    grid->addWidget(lblBatchRemaining, 4, 1);
    grid->addWidget(lblElapsed, 5, 0);
    grid->addWidget(lblBatchElapsed, 5, 1);
    grid->addWidget(lblEstimated, 6, 0);
    grid->addWidget(lblBatchEstimated, 6, 1);
    grid->addWidget(lblWorking, 7, 0, 1, 4);
    grid->addWidget(lblOutput, 8, 0, 1, 4);
    grid->addWidget(lblStopWhenDone, 9, 0, 1, 4);
    grid->addWidget(chkDelSource, 10, 0, 1, 4);
    grid->addWidget(chkShutdown, 11, 0, 1, 4);
}

void TfrmProgress::BuildButtons()
{
    lineBottom = new QFrame(this);
    lineBottom->setObjectName(QStringLiteral("lineBottom"));
    lineBottom->setFrameShape(QFrame::HLine);
    lineBottom->setFrameShadow(QFrame::Sunken);

    pnlButtons = new QWidget(this);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    // Without a notification area the button minimises the windows, and says so.
    btnTray = new QPushButton(Q(TrayAvailable() ? IDS_CONVERTING_BUTTON_SendToTray : IDS_CONVERTING_BUTTON_Minimise),
                              pnlButtons);
    btnTray->setObjectName(QStringLiteral("btnTray"));
    btnTray->setMinimumWidth(110);
    btnTray->setAutoDefault(false);
    btnCancel = new QPushButton(Q(IDS_CONVERTING_Cancel), pnlButtons);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    auto* buttons = new QHBoxLayout(pnlButtons);
    buttons->addStretch();
    buttons->addWidget(btnTray);
    buttons->addWidget(btnCancel);
}

void TfrmProgress::ConnectControls()
{
    // The check boxes change the running batch at once.
    chkDelSource->setChecked(Options.DeleteFileAfterProcessing);
    chkShutdown->setChecked(Options.ShutdownWindowsWhenDone);
    // The chosen action by name; greyed, with the system's answer, when the
    // system does not offer it now (the batch's end then says so too).
    const std::string refusal = ShutdownActionRefusal(Options.ShutdownFlag);
    QString tip = Q(ShutdownActionText(Options.ShutdownFlag));
    if (!refusal.empty())
        tip += QLatin1Char('\n') + Q(FormatText(IDS_SETTINGS_HINT_NotOffered, {refusal}));
    chkShutdown->setToolTip(tip);
    chkShutdown->setEnabled(refusal.empty());
    connect(chkDelSource, &QCheckBox::toggled, this, [](bool on) { Options.DeleteFileAfterProcessing = on; });
    connect(chkShutdown, &QCheckBox::toggled, this, [](bool on) { Options.ShutdownWindowsWhenDone = on; });
    connect(btnCancel, &QPushButton::clicked, this, [this] { RequestClose(); });
    connect(btnTray, &QPushButton::clicked, this, &TfrmProgress::SendToTray);

    // Elapsed time moves on between encoder lines too.
    elapsedTimer_ = new QTimer(this);
    elapsedTimer_->setInterval(1000);
    connect(elapsedTimer_, &QTimer::timeout, this, &TfrmProgress::RefreshElapsed);
}

void TfrmProgress::SetRunningFiles(const std::vector<TRunningFile>& files)
{
    const bool several = !files.empty();
    for (QWidget* w : std::initializer_list<QWidget*>{lblStatusRemainingSingle, lblStatusRemaining, lblStatus,
                                                      prgStatus, lblOutput})
        w->setVisible(!several);
    scrRunning->setVisible(several);
    auto* lines = static_cast<QVBoxLayout*>(pnlRunning->layout());
    const size_t before = runningLines_.size();
    while (runningLines_.size() < files.size()) {
        TRunningLine line;
        line.Row = new QWidget(pnlRunning);
        line.Row->setObjectName(QStringLiteral("pnlRunningFile"));
        line.Name = new TElidedLabel(line.Row);
        line.Name->setObjectName(QStringLiteral("lblRunningName"));
        line.Name->setTextFormat(Qt::PlainText);
        line.Name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        line.Bar = new QProgressBar(line.Row);
        line.Bar->setObjectName(QStringLiteral("prgRunning"));
        line.Bar->setRange(0, 100);
        line.Bar->setTextVisible(false);
        line.Bar->setFixedSize(150, 12);
        line.Percent = MakeLabel(line.Row, "lblRunningPercent");
        line.Percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        line.Percent->setMinimumWidth(line.Percent->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
        auto* row = new QHBoxLayout(line.Row);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(line.Name, 1);
        row->addWidget(line.Bar);
        row->addWidget(line.Percent);
        lines->insertWidget(lines->count() - 1, line.Row); // above the closing stretch
        runningLines_.push_back(line);
    }
    for (size_t i = 0; i < runningLines_.size(); ++i) {
        TRunningLine& line = runningLines_[i];
        line.Row->setVisible(i < files.size());
        if (i >= files.size())
            continue;
        const int percent = std::clamp(files[i].Percent, 0, 100);
        static_cast<TElidedLabel*>(line.Name)->SetFullText(Q(files[i].Name));
        line.Bar->setValue(percent);
        line.Percent->setText(QString::number(percent) + QLatin1Char('%'));
    }
    // More lines than the room of the single file's figures make the window
    // taller, up to MaxShownRunningFiles lines; it keeps its place on the screen.
    if (runningLines_.size() != before) {
        const int shown = static_cast<int>(std::min(runningLines_.size(), MaxShownRunningFiles));
        const int rowHeight = runningLines_.front().Row->sizeHint().height();
        scrRunning->setFixedHeight(shown * rowHeight + (shown - 1) * lines->spacing());
        const QPoint place = pos();
        layout()->activate();
        setFixedSize(QSize(524, 348).expandedTo(sizeHint()).expandedTo(minimumSizeHint()));
        if (isVisible())
            move(place);
    }
}

TfrmProgress::~TfrmProgress()
{
    if (loop_)
        loop_->quit();
}

QLabel* TfrmProgress::LabelOf(TProgressLabel label) const
{
    switch (label) {
    case TProgressLabel::Status: return lblStatus;
    case TProgressLabel::StatusRemaining: return lblStatusRemaining;
    case TProgressLabel::Batch: return lblBatch;
    case TProgressLabel::BatchElapsed: return lblBatchElapsed;
    case TProgressLabel::BatchEstimated: return lblBatchEstimated;
    case TProgressLabel::BatchRemaining: return lblBatchRemaining;
    case TProgressLabel::Working: return lblWorking;
    case TProgressLabel::Output: return lblOutput;
    case TProgressLabel::Covnerting: return lblCovnerting;
    case TProgressLabel::StopWhenDone: return lblStopWhenDone;
    }
    return nullptr;
}

void TfrmProgress::SetElidedText(QLabel* label, const std::string& text)
{
    static_cast<TElidedLabel*>(label)->SetFullText(Q(text));
}

void TfrmProgress::SetLabel(TProgressLabel label, const std::string& text)
{
    QLabel* l = LabelOf(label);
    if (!l)
        return;
    if (label == TProgressLabel::Working || label == TProgressLabel::Output)
        SetElidedText(l, text);
    else
        l->setText(DisplayText(text));
}

void TfrmProgress::SetStatusProgress(int percent)
{
    prgStatus->setValue(std::clamp(percent, 0, 100));
}

void TfrmProgress::SetBatchProgress(int percent)
{
    prgBatch->setValue(std::clamp(percent, 0, 100));
}

void TfrmProgress::SetCaption(const std::string& caption)
{
    setWindowTitle(Q(caption));
}

bool TfrmProgress::AnimationRunning() const
{
    return anmConvert->Active();
}

void TfrmProgress::StartAnimation()
{
    anmConvert->show();
    anmConvert->Start();
}

void TfrmProgress::SetTrayHint(const std::string& hint)
{
    if (QSystemTrayIcon* tray = tray_ ? tray_ : ownTray_)
        tray->setToolTip(Q(hint));
}

void TfrmProgress::ResetProgress()
{
    for (QLabel* l : {lblStatusRemaining, lblBatchRemaining, lblBatchElapsed, lblBatchEstimated})
        l->setText(QString::fromLatin1(kZeroTime));
    lblStatus->setText(StatusZero());
    lblBatch->setText(StatusZero());
    SetElidedText(lblWorking, IDS_CONVERTING_PleaseWait);
    SetElidedText(lblOutput, std::string());
    lblCovnerting->setText(Q(IDS_CONVERTING_Preparing));
    anmConvert->Stop();
    anmConvert->hide();
    SetRunningFiles({});
}

void TfrmProgress::MarkFinished()
{
    finished_ = true;
    done(mrOk);
}

int TfrmProgress::ShowModal()
{
    if (closed_)
        return result() == mrNone ? mrOk : result();
    CenterOver(this, parentWidget());
    setWindowModality(parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    elapsedTimer_->start();
    // Our own loop rather than exec(): hiding the window in the notification
    // area must not end the batch.
    QEventLoop loop;
    loop_ = &loop;
    if (!closed_)
        loop.exec(QEventLoop::DialogExec);
    loop_ = nullptr;
    return result() == mrNone ? mrCancel : result();
}

bool TfrmProgress::RequestClose()
{
    if (finished_) {
        if (!closed_)
            done(mrOk);
        return true;
    }
    if (asking_)
        return false; // the question is already open
    asking_ = true;
    const int answer = ShowLocalizedMessage(this, IDS_CONVERTING_StopEncoding, IDS_CONVERTING_Question,
                                            TMsgIcon::Confirmation,
                                            {TMsgButton::Yes, TMsgButton::No, TMsgButton::Cancel},
                                            {IDS_CONVERTING_StopNow, IDS_CONVERTING_Whendone, IDS_CONVERTING_Cancel});
    asking_ = false;
    if (finished_) {
        // The batch ended while the question was open.
        done(mrCancel);
        return true;
    }
    if (answer == mrYes) {
        done(mrCancel);
        return true;
    }
    if (answer == mrNo) {
        Options.StopWhenDone = true;
        lblStopWhenDone->show();
    } else {
        Options.StopWhenDone = false;
        lblStopWhenDone->hide();
    }
    return false;
}

void TfrmProgress::reject()
{
    RequestClose();
}

void TfrmProgress::done(int r)
{
    closed_ = true;
    elapsedTimer_->stop();
    anmConvert->Stop();
    if (inTray_ && !tray_) {
        // Our own tray icon goes with this window: bring the main window
        // back first, or nothing would be left to reach it.
        inTray_ = false;
        if (QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr)
            mainWindow->showNormal();
    }
    if (ownTray_)
        ownTray_->hide();
    TModalForm::done(r);
    if (loop_)
        loop_->quit();
}

void TfrmProgress::SetTrayIcon(QSystemTrayIcon* tray)
{
    tray_ = tray;
}

void TfrmProgress::SetTrayAvailableOverride(std::optional<bool> available)
{
    gTrayOverride = available;
}

bool TfrmProgress::TrayAvailable()
{
    return gTrayOverride ? *gTrayOverride : QSystemTrayIcon::isSystemTrayAvailable();
}

QSystemTrayIcon* TfrmProgress::Tray()
{
    if (tray_)
        return tray_;
    if (!ownTray_) {
        ownTray_ = new QSystemTrayIcon(ProgramIcon(), this);
        ownTray_->setObjectName(QStringLiteral("trayProgress"));
        connect(ownTray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason) {
            RestoreFromTray();
        });
    }
    return ownTray_;
}

void TfrmProgress::SendToTray()
{
    QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr;
    if (!TrayAvailable()) {
        // No notification area to come back from: minimise instead, so the
        // windows stay reachable from the task bar.
        if (mainWindow)
            mainWindow->showMinimized();
        showMinimized();
        return;
    }
    QSystemTrayIcon* tray = Tray();
    hide();
    if (mainWindow)
        mainWindow->hide();
    inTray_ = true;
    tray->show();
    tray->showMessage(Q(FormatText(IDS_CONVERTING_TrayInfo, {ApplicationTitle})), Q(IDS_CONVERTING_TrayMin),
                      QSystemTrayIcon::Information, 10000);
    emit sentToTray();
}

void TfrmProgress::RestoreFromTray()
{
    if (!inTray_)
        return;
    inTray_ = false;
    if (QSystemTrayIcon* tray = tray_ ? tray_ : ownTray_)
        tray->hide();
    if (QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr)
        mainWindow->showNormal();
    if (!closed_) {
        showNormal();
        raise();
        activateWindow();
    }
    emit restoredFromTray();
}

void TfrmProgress::changeEvent(QEvent* event)
{
    TModalForm::changeEvent(event);
    // Minimising the progress window minimises the whole program.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        if (QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr)
            if (!mainWindow->isMinimized())
                mainWindow->showMinimized();
    }
}

void TfrmProgress::RefreshElapsed()
{
    if (finished_ || Options.BatchStartTime <= 0)
        return;
    lblBatchElapsed->setText(Q(FormatSpan(MonotonicNow() - Options.BatchStartTime)));
}
