#include "ui/common/Shell.h"

#include "app/VisibleText.h"
#include "lang/Format.h"
#include "lang/MultiLanguages.h"
#include "ui/common/Links.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/QtText.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QFileDialog>
#include <QFileInfo>

namespace {

std::function<bool(const QUrl&)> gUrlOpener;
std::function<bool(const QString&, const QStringList&)> gProgramStarter;

bool StartProgram(const QString& program, const QStringList& arguments)
{
    if (gProgramStarter)
        return gProgramStarter(program, arguments);
    // Tests never launch anything on the desktop.
    if (DialogHook::TestMode())
        return false;
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        return false;
    // "gio open" without a handler for the file starts, complains and exits 1:
    // a helper that ends at once has failed unless it exits 0. One that is
    // still running after a short wait (xdg-open may wait for the viewer it
    // ran) has opened it; it is reaped when it ends.
    auto* helper = new QProcess(QCoreApplication::instance());
    helper->setProcessChannelMode(QProcess::ForwardedChannels);
    helper->start(found, arguments);
    if (!helper->waitForStarted(2000)) {
        delete helper;
        return false;
    }
    if (helper->waitForFinished(1500)) {
        const bool ok = helper->exitStatus() == QProcess::NormalExit && helper->exitCode() == 0;
        delete helper;
        return ok;
    }
    QObject::connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
    return true;
}

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
    if (gUrlOpener ? gUrlOpener(url) : QDesktopServices::openUrl(url))
        return true;
    // Without a handler the desktop opens nothing and says nothing: the
    // freedesktop helpers may still be there.
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString();
    return StartProgram(QStringLiteral("xdg-open"), {target}) ||
           StartProgram(QStringLiteral("gio"), {QStringLiteral("open"), target});
}

bool OpenLocalPath(const std::string& path)
{
    return OpenUrl(QUrl::fromLocalFile(Q(path)));
}

bool OpenLocalPathOrTell(QWidget* owner, const std::string& path)
{
    if (OpenLocalPath(path))
        return true;
    ShowMessageBox(owner, FormatText(IDS_MESSAGEBOX_NothingOpens, {qvtext::VisibleText(path)}),
                   IDS_MESSAGEBOX_NothingOpensTitle, TMsgIcon::Warning);
    return false;
}

bool OpenTechnicalSupport()
{
    return OpenUrl(QUrl(QString::fromLatin1(TechnicalSupportUrl)));
}

void SetUrlOpener(std::function<bool(const QUrl&)> opener)
{
    gUrlOpener = std::move(opener);
}

void SetProgramStarter(std::function<bool(const QString& program, const QStringList& arguments)> starter)
{
    gProgramStarter = std::move(starter);
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
