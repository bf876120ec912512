#include "ui/common/QtTranslation.h"

#include "lang/MultiLanguages.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

struct TInstalled {
    std::unique_ptr<QTranslator> Translator;
    std::string Locale;
};

TInstalled& Installed()
{
    static TInstalled installed;
    return installed;
}

} // namespace

bool InstallQtTranslation(const std::string& locale)
{
    TInstalled& current = Installed();
    if (current.Translator && current.Locale == locale)
        return true;
    if (current.Translator) {
        QCoreApplication::removeTranslator(current.Translator.get());
        current.Translator.reset();
        current.Locale.clear();
    }
    if (locale.empty())
        return false;
    // Only a plain locale name: the value comes from a language file and
    // must not name a file outside Qt's translations folder.
    for (char c : locale)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-'))
            return false;
    auto translator = std::make_unique<QTranslator>();
    // Without the translations package the load fails and Qt stays in English.
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(locale),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(translator.get()))
        return false;
    current.Translator = std::move(translator);
    current.Locale = locale;
    return true;
}

std::string InstalledQtTranslation()
{
    return Installed().Translator ? Installed().Locale : std::string();
}

void FollowLanguageWithQtTranslation()
{
    SetLanguageLoadedHandler([] { InstallQtTranslation(LanguageLocale); });
    InstallQtTranslation(LanguageLocale);
}
