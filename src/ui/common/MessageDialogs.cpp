#include "ui/common/MessageDialogs.h"

#include "lang/MultiLanguages.h"
#include "ui/common/ModalForm.h"
#include "ui/common/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <deque>

namespace {

struct TButtonKind {
    TMsgButton button;
    int result;
    const char* objectName;
    const char* english;
};

// The standard buttons in dialog order (the order of TMsgButton).
const TButtonKind kButtonKinds[] = {
    {TMsgButton::Yes, mrYes, "btnYes", "Yes"},
    {TMsgButton::No, mrNo, "btnNo", "No"},
    {TMsgButton::OK, mrOk, "btnOK", "OK"},
    {TMsgButton::Cancel, mrCancel, "btnCancel", "Cancel"},
    {TMsgButton::Abort, 3, "btnAbort", "Abort"},
    {TMsgButton::Retry, 4, "btnRetry", "Retry"},
    {TMsgButton::Ignore, 5, "btnIgnore", "Ignore"},
    {TMsgButton::All, 8, "btnAll", "All"},
    {TMsgButton::NoToAll, 9, "btnNoToAll", "No to All"},
    {TMsgButton::YesToAll, mrYesToAll, "btnYesToAll", "Yes To All"},
    {TMsgButton::Help, 12, "btnHelp", "Help"},
};

// Caption of a button the caller gave no text for: the catalogue text where
// there is one, otherwise the English name.
std::string FallbackCaption(const TButtonKind& kind)
{
    switch (kind.button) {
    case TMsgButton::Yes: return IDS_MESSAGE_BUTTON_Yes;
    case TMsgButton::No: return IDS_MESSAGE_BUTTON_No;
    case TMsgButton::OK: return IDS_OK;
    case TMsgButton::Cancel: return IDS_Cancel;
    case TMsgButton::YesToAll: return IDS_MESSAGE_BUTTON_YesToAll;
    default: return kind.english;
    }
}

QStyle::StandardPixmap PixmapOf(TMsgIcon type)
{
    switch (type) {
    case TMsgIcon::Warning: return QStyle::SP_MessageBoxWarning;
    case TMsgIcon::Error: return QStyle::SP_MessageBoxCritical;
    case TMsgIcon::Confirmation: return QStyle::SP_MessageBoxQuestion;
    case TMsgIcon::Information: break;
    }
    return QStyle::SP_MessageBoxInformation;
}

// A message box sizes itself from its text alone; a row of the title's width
// keeps a long title from being cut.
void FitTitle(QMessageBox& box)
{
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(TitleFitWidth(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 420;
constexpr int kButtonGap = 12;

// ---- hook state ----
std::deque<std::function<int()>> gAnswers;
std::deque<std::string> gFileAnswers;
std::vector<TShownDialog> gShown;
bool gTestMode = false;
int gUnanswered = 0;

} // namespace

int CommonButtonWidth(const std::vector<int>& captionWidths)
{
    int widest = 0;
    for (int w : captionWidths)
        widest = std::max(widest, w);
    return std::max(widest + 16, 88);
}

int ButtonLeft(int dialogWidth, int width, int count, int index)
{
    return (dialogWidth - (width + kButtonGap) * count) / 2 + (width + kButtonGap) * index;
}

TLocalizedMessageDialog::TLocalizedMessageDialog(QWidget* parent, const std::string& text, const std::string& title,
                                                 TMsgIcon type, const std::vector<TMsgButton>& buttons,
                                                 const std::vector<std::string>& captions)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgLocalizedMessage"));
    setWindowTitle(Q(title));
    setModal(true);

    const bool hasIcon = true;
    const QStyle::StandardPixmap pixmap = PixmapOf(type);
    int textLeft = kMargin;
    {
        auto* icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("imgIcon"));
        icon->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(kIconSize, kIconSize));
        icon->setGeometry(kMargin, kMargin, kIconSize, kIconSize);
        textLeft = kMargin + kIconSize + kButtonGap;
    }

    auto* label = new QLabel(DisplayText(text), this);
    label->setObjectName(QStringLiteral("lblMessage"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QFontMetrics fm(font());
    int natural = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        natural = std::max(natural, fm.horizontalAdvance(line));
    const int textWidth = std::clamp(natural + 4, 1, kMaxTextWidth);
    int textHeight = label->heightForWidth(textWidth);
    if (textHeight < 0)
        textHeight = label->sizeHint().height();
    label->setGeometry(textLeft, kMargin, textWidth, textHeight);

    // Buttons in the standard order, each with the next caption.
    std::vector<int> widths;
    size_t captionIndex = 0;
    QPushButton* defaultButton = nullptr;
    for (const TButtonKind& kind : kButtonKinds) {
        if (std::find(buttons.begin(), buttons.end(), kind.button) == buttons.end())
            continue;
        const std::string caption =
            captionIndex < captions.size() ? captions[captionIndex] : FallbackCaption(kind);
        ++captionIndex;
        auto* button = new QPushButton(Q(caption), this);
        button->setObjectName(QString::fromLatin1(kind.objectName));
        button->setAutoDefault(false);
        const int result = kind.result;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
        buttons_.push_back(button);
        widths.push_back(fm.horizontalAdvance(button->text()));
    }
    // Closing: Cancel, else No, else OK (an OK box closed is acknowledged).
    for (TMsgButton b : {TMsgButton::OK, TMsgButton::No, TMsgButton::Cancel})
        if (std::find(buttons.begin(), buttons.end(), b) != buttons.end())
            closeResult_ = b == TMsgButton::OK ? mrOk : b == TMsgButton::No ? mrNo : mrCancel;
    // Default: OK, else Yes, else the first button.
    for (QPushButton* b : buttons_)
        if (b->objectName() == QLatin1String("btnOK"))
            defaultButton = b;
    if (!defaultButton)
        for (QPushButton* b : buttons_)
            if (b->objectName() == QLatin1String("btnYes"))
                defaultButton = b;
    if (!defaultButton && !buttons_.empty())
        defaultButton = buttons_.front();
    if (defaultButton) {
        defaultButton->setDefault(true);
        defaultButton->setFocus();
    }

    buttonWidth_ = CommonButtonWidth(widths);
    const int n = static_cast<int>(buttons_.size());
    const int contentWidth = textLeft + textWidth + kMargin;
    const int dialogWidth =
        std::max({contentWidth, (buttonWidth_ + kButtonGap) * n + 32, TitleFitWidth(windowTitle())});
    int buttonHeight = 25;
    for (QPushButton* b : buttons_)
        buttonHeight = std::max(buttonHeight, b->sizeHint().height());
    const int rowTop = std::max(kMargin + (hasIcon ? kIconSize : 0), kMargin + textHeight) + kMargin;
    for (int i = 0; i < n; ++i)
        buttons_[i]->setGeometry(ButtonLeft(dialogWidth, buttonWidth_, n, i), rowTop, buttonWidth_, buttonHeight);
    setFixedSize(dialogWidth, rowTop + buttonHeight + kButtonGap);
}

void TLocalizedMessageDialog::reject()
{
    done(closeResult_);
}

namespace {

void Beep(bool sound)
{
    if (sound && !DialogHook::TestMode())
        QApplication::beep();
}

// Runs the dialog's modal loop unless a test answers it; a question left
// unanswered in test mode is closed.
int RunModal(TLocalizedMessageDialog* dialog, TShownDialog shown)
{
    int result = mrNone;
    if (DialogHook::TakeAnswer(result)) {
        shown.answeredByTest = true;
    } else if (DialogHook::TestMode()) {
        DialogHook::RecordUnanswered();
        result = dialog->CloseResult();
        shown.answeredByTest = true;
    } else {
        result = dialog->exec();
    }
    shown.result = result;
    DialogHook::Record(std::move(shown));
    return result;
}

} // namespace

int ShowLocalizedMessage(QWidget* parent, const std::string& text, const std::string& title, TMsgIcon type,
                         const std::vector<TMsgButton>& buttons, const std::vector<std::string>& captions)
{
    TLocalizedMessageDialog dialog(parent, text, title, type, buttons, captions);
    CenterOver(&dialog, parent);
    Beep(true);
    TShownDialog shown;
    shown.kind = TShownDialog::Localized;
    shown.text = text;
    shown.title = title;
    for (QPushButton* b : dialog.Buttons())
        shown.captions.push_back(S(b->text()));
    shown.icon = type;
    const int result = RunModal(&dialog, std::move(shown));
    return result == mrNone ? dialog.CloseResult() : result;
}

int ShowMessageBox(QWidget* parent, const std::string& text, const std::string& caption, TMsgIcon icon,
                   TMsgBoxButtons buttons, int defaultIndex)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("dlgMessageBox"));
    box.setWindowTitle(Q(caption));
    box.setText(DisplayText(text));
    box.setTextFormat(Qt::PlainText);
    // Paths and reasons in a message can be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    FitTitle(box);
    switch (icon) {
    case TMsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgIcon::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    std::vector<QMessageBox::StandardButton> order;
    switch (buttons) {
    case TMsgBoxButtons::OK: order = {QMessageBox::Ok}; break;
    case TMsgBoxButtons::OKCancel: order = {QMessageBox::Ok, QMessageBox::Cancel}; break;
    case TMsgBoxButtons::YesNo: order = {QMessageBox::Yes, QMessageBox::No}; break;
    case TMsgBoxButtons::YesNoCancel: order = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}; break;
    }
    QMessageBox::StandardButtons set;
    for (auto b : order)
        set |= b;
    box.setStandardButtons(set);
    if (defaultIndex >= 0 && defaultIndex < static_cast<int>(order.size()))
        box.setDefaultButton(order[defaultIndex]);
    box.setEscapeButton(order.back() == QMessageBox::Yes || order.back() == QMessageBox::No ? QMessageBox::No
                                                                                             : order.back());

    Beep(true);
    TShownDialog shown;
    shown.kind = TShownDialog::MessageBox;
    shown.text = text;
    shown.title = caption;
    shown.icon = icon;

    int result = mrNone;
    if (DialogHook::TakeAnswer(result)) {
        shown.answeredByTest = true;
    } else if (DialogHook::TestMode()) {
        DialogHook::RecordUnanswered();
        result = buttons == TMsgBoxButtons::OK ? mrOk : (buttons == TMsgBoxButtons::YesNo ? mrNo : mrCancel);
        shown.answeredByTest = true;
    } else {
        box.exec();
        const auto pressed = box.standardButton(box.clickedButton());
        switch (pressed) {
        case QMessageBox::Ok: result = mrOk; break;
        case QMessageBox::Yes: result = mrYes; break;
        case QMessageBox::No: result = mrNo; break;
        default: result = buttons == TMsgBoxButtons::OK ? mrOk : (buttons == TMsgBoxButtons::YesNo ? mrNo : mrCancel); break;
        }
    }
    shown.result = result;
    DialogHook::Record(std::move(shown));
    return result;
}

void ShowNoticeWindow(QWidget* parent, const std::string& text, const std::string& caption)
{
    DialogHook::Record(TShownDialog::Of(TShownDialog::MessageBox, caption, text));
    if (DialogHook::TestMode())
        return;
    ShowNonModalBox(parent, "dlgNotice", caption, text, TMsgIcon::Information);
}

QMessageBox* ShowNonModalBox(QWidget* parent, const char* name, const std::string& title, const std::string& text,
                             TMsgIcon icon)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(Q(title));
    box->setText(DisplayText(text));
    box->setTextFormat(Qt::PlainText);
    box->setIcon(icon == TMsgIcon::Warning ? QMessageBox::Warning
                 : icon == TMsgIcon::Error ? QMessageBox::Critical
                                           : QMessageBox::Information);
    box->setStandardButtons(QMessageBox::Ok);
    FitTitle(*box);
    box->show();
    return box;
}

namespace DialogHook {

void QueueAnswer(int result)
{
    gAnswers.push_back([result] { return result; });
}

void QueueAnswer(std::function<int()> answer)
{
    gAnswers.push_back(std::move(answer));
}

void QueueFileAnswer(const std::string& path)
{
    gFileAnswers.push_back(path);
}

int PendingAnswers()
{
    return static_cast<int>(gAnswers.size());
}

int PendingFileAnswers()
{
    return static_cast<int>(gFileAnswers.size());
}

void Clear()
{
    ClearFormDrivers();
    gAnswers.clear();
    gFileAnswers.clear();
    gShown.clear();
    gUnanswered = 0;
}

void SetTestMode(bool on)
{
    gTestMode = on;
}

bool TestMode()
{
    return gTestMode;
}

int UnansweredCount()
{
    return gUnanswered;
}

const std::vector<TShownDialog>& Shown()
{
    return gShown;
}

const TShownDialog* Last()
{
    return gShown.empty() ? nullptr : &gShown.back();
}

bool TakeAnswer(int& result)
{
    if (gAnswers.empty())
        return false;
    auto answer = std::move(gAnswers.front());
    gAnswers.pop_front();
    result = answer ? answer() : mrCancel;
    return true;
}

bool TakeFileAnswer(std::string& path)
{
    if (gFileAnswers.empty())
        return false;
    path = gFileAnswers.front();
    gFileAnswers.pop_front();
    return true;
}

void Record(TShownDialog dialog)
{
    gShown.push_back(std::move(dialog));
}

void RecordUnanswered()
{
    ++gUnanswered;
}

} // namespace DialogHook
