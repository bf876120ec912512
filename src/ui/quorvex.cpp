// Entry sequence of the program: application object, paths, language,
// splash window, main window, event loop.

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "ui/common/QtTranslation.h"
#include "ui/common/Splash.h"
#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // QApplication sets the locale from the environment; numbers use "."
    // for the whole run whatever the user's regional settings are.
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_NUMERIC, "C");

    InitApplication();
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

    {
        TfrmSplash splash;
        splash.exec();
    }

    TfrmMain mainWindow;
    if (!mainWindow.StartedOk())
        return 1;
    mainWindow.show();
    return app.exec();
}
