// Entry sequence of the program: application object, paths, language,
// splash window, main window, event loop.

#include "app/AppUtils.h"
#include "app/DesktopArgs.h"
#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "platform/PowerActions.h"
#include "ui/common/InstanceLink.h"
#include "ui/common/QtTranslation.h"
#include "ui/common/Splash.h"
#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QIcon>
#include <QUrl>
#include <QLocale>
#include <QMessageBox>

#include <clocale>
#include <cstdio>

namespace {

// A file manager may hand over file:// addresses instead of paths.
std::string LocalPath(const std::string& arg)
{
    if (arg.rfind("file:", 0) != 0)
        return arg;
    const QUrl url(QString::fromStdString(arg));
    return url.isLocalFile() ? url.toLocalFile().toStdString() : arg;
}

} // namespace

int main(int argc, char** argv)
{
    // The whole command line is ours: it is read before the application
    // object connects to a display, so help, version and bad usage need none.
    // Qt's own options are not taken from it (QT_QPA_PLATFORM, QT_STYLE_OVERRIDE
    // and the other environment variables still work).
    const TDesktopArgs args = ParseDesktopArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (!args.Error.empty()) {
        std::fprintf(stderr, "quorvex: %s\nTry 'quorvex --help' for more information.\n", args.Error.c_str());
        return 2;
    }
    if (args.Help) {
        std::fputs(DesktopUsage("quorvex").c_str(), stdout);
        return 0;
    }
    if (args.Version) {
        std::printf("quorvex %s\n", QV_VERSION);
        return 0;
    }

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QGuiApplication::setDesktopFileName(DesktopApplicationId);
    const QIcon icon = QIcon::fromTheme(DesktopApplicationId);
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
    // QApplication sets the locale from the environment; numbers use "."
    // for the whole run whatever the user's regional settings are.
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");

    InitApplication();
    if (!StartUpProblem.empty()) {
        std::fprintf(stderr, "quorvex: %s\n", StartUpProblem.c_str());
        if (!args.ListAndExit)
            QMessageBox::critical(nullptr, QString::fromStdString(ApplicationTitle),
                                  QString::fromStdString(StartUpProblem));
        return 1;
    }
    std::vector<std::string> files;
    for (const std::string& f : args.Files)
        files.push_back(LocalPath(f));

    // One window per user and settings folder: when one runs, it takes the
    // files and this start ends.
    TInstanceServer instanceServer;
    if (!args.ListAndExit) {
        if (const std::string socket = InstanceSocketPath(UserDataFolder); !socket.empty()) {
            switch (HandFilesToRunningInstance(socket, files)) {
            case THandOver::Delivered: return 0;
            case THandOver::NoAnswer:
                std::fprintf(stderr, "quorvex: the running Quorvex window did not take the files (%s).\n",
                             socket.c_str());
                return 1;
            case THandOver::NoServer: break;
            }
            // Without the socket this window runs on its own.
            if (!instanceServer.Listen(socket))
                std::fprintf(stderr, "quorvex: cannot listen on %s; files started later open another window.\n",
                             socket.c_str());
        }
    }

    SetLanguageMessageHandler([](const std::string& text) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(ApplicationTitle), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.exec();
    });
    FollowLanguageWithQtTranslation();
    try {
        if (!LoadLanguage())
            return 1;
    } catch (const EIniWriteError& e) {
        QMessageBox::critical(nullptr, QString::fromStdString(ApplicationTitle), QString::fromStdString(e.what()));
        return 1;
    }
    SetPowerActions(MakeLogindPowerActions([] { QCoreApplication::quit(); }));

    if (!args.ListAndExit) {
        TfrmSplash splash;
        splash.exec();
    }

    // Listing and ending touches no stored list.
    if (args.ListAndExit)
        QueueFile.clear();
    TfrmMain mainWindow;
    if (!mainWindow.StartedOk())
        return 1;
    if (args.ListAndExit) {
        if (!files.empty())
            mainWindow.DropFiles(files);
        for (int i = 0; i < mainWindow.FileCount(); ++i)
            if (const TFileItem* item = mainWindow.FileItemAt(i))
                std::printf("%s\n", (AddTrailingBackslash(item->FilePath) + item->FileName).c_str());
        return 0;
    }
    mainWindow.ShowWithFiles(files);
    instanceServer.SetReceiver([&mainWindow](const std::vector<std::string>& paths) { mainWindow.HandOverFiles(paths); });
    return app.exec();
}
