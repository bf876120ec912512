// Entry sequence of the program: application object, paths, language,
// splash window, main window, event loop.

#include "app/AppUtils.h"
#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "ui/common/Splash.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QVBoxLayout>
#include <QWidget>

#include <clocale>

namespace {

// Stand-in for the main window until it lands: its creation loads the
// options (writing options.ini on a first start).
class TfrmPlaceholderMain : public QWidget {
public:
    TfrmPlaceholderMain()
    {
        setWindowTitle(QString::fromStdString(ApplicationTitle));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QString::fromStdString(ApplicationTitle), this));
        resize(480, 320);
        try {
            LoadOptions();
        } catch (const EIniWriteError& e) {
            QMessageBox::critical(this, QString::fromStdString(ApplicationTitle), QString::fromStdString(e.what()));
        }
    }
};

} // namespace

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

    TfrmPlaceholderMain mainWindow;
    mainWindow.show();
    return app.exec();
}
