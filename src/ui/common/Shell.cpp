#include "ui/common/Shell.h"

#include "ui/common/Links.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>

namespace {

std::function<bool(const QUrl&)> gUrlOpener;

void RecordFileDialog(const std::string& title, const std::string& answer)
{
    TShownDialog shown = TShownDialog::Of(TShownDialog::FileDialog, title, answer);
    shown.answeredByTest = true;
    DialogHook::Record(std::move(shown));
}

// A test answer, or in test mode "" for an unanswered dialog; false when the
// real dialog is to be shown.
bool TestFileAnswer(const std::string& title, std::string& answer)
{
    if (DialogHook::TakeFileAnswer(answer)) {
        RecordFileDialog(title, answer);
        return true;
    }
    if (DialogHook::TestMode()) {
        DialogHook::RecordUnanswered();
        answer.clear();
        RecordFileDialog(title, answer);
        return true;
    }
    return false;
}

} // namespace

bool OpenUrl(const QUrl& url)
{
    if (gUrlOpener)
        return gUrlOpener(url);
    return QDesktopServices::openUrl(url);
}

bool OpenLocalPath(const std::string& path)
{
    return OpenUrl(QUrl::fromLocalFile(Q(path)));
}

bool OpenTechnicalSupport()
{
    return OpenUrl(QUrl(QString::fromLatin1(TechnicalSupportUrl)));
}

void SetUrlOpener(std::function<bool(const QUrl&)> opener)
{
    gUrlOpener = std::move(opener);
}

bool BrowseForFolder(QWidget* owner, std::string& path, const std::string& title, int /*flags*/,
                     const std::string& root)
{
    std::string chosen;
    if (!TestFileAnswer(title, chosen)) {
        const QString start = Q(path.empty() ? root : path);
        chosen = S(QFileDialog::getExistingDirectory(owner, Q(title), start, QFileDialog::ShowDirsOnly));
    }
    if (chosen.empty())
        return false;
    path = chosen;
    return true;
}

std::vector<std::string> ChooseOpenFiles(QWidget* owner, const std::string& title, const std::string& folder,
                                         const std::string& filter)
{
    std::vector<std::string> files;
    std::string answer;
    if (TestFileAnswer(title, answer)) {
        // Several files in one answer are separated by newlines.
        size_t start = 0;
        while (start < answer.size()) {
            size_t end = answer.find('\n', start);
            if (end == std::string::npos)
                end = answer.size();
            if (end > start)
                files.push_back(answer.substr(start, end - start));
            start = end + 1;
        }
        return files;
    }
    for (const QString& f : QFileDialog::getOpenFileNames(owner, Q(title), Q(folder), Q(filter)))
        files.push_back(S(f));
    return files;
}

std::string ChooseSaveFile(QWidget* owner, const std::string& title, const std::string& proposedPath,
                           const std::string& filter, const std::string& defaultSuffix)
{
    std::string answer;
    if (!TestFileAnswer(title, answer)) {
        QFileDialog dialog(owner, Q(title), Q(proposedPath), Q(filter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(Q(defaultSuffix));
        dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
        if (!proposedPath.empty())
            dialog.selectFile(Q(proposedPath));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return S(dialog.selectedFiles().front());
    }
    if (!answer.empty() && !defaultSuffix.empty() && QFileInfo(Q(answer)).suffix().isEmpty())
        answer += "." + defaultSuffix;
    return answer;
}
