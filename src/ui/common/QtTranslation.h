#pragma once

// Qt's own texts (standard buttons, file and colour dialogs) in the language
// of the current language file, from Qt's shipped translations.

#include <string>

// Replaces the installed Qt translation by the one of `locale` ("de",
// "pt_BR"); an empty locale, or one Qt ships no translation for, leaves
// Qt's texts in English. True when a translation is installed afterwards.
bool InstallQtTranslation(const std::string& locale);

// The locale of the installed Qt translation; empty when none is.
std::string InstalledQtTranslation();

// Installs the current language's Qt translation now and after every
// language load.
void FollowLanguageWithQtTranslation();
