#pragma once

// The string catalogue: one process-wide text per key, initialised with its
// English value and replaced from the current language file. Windows read the
// variables directly; there is no lookup by key at run time.

#include <functional>
#include <string>
#include <vector>

#define QV_TEXT(var, writeKey, readKey, english) extern std::string var;
#include "lang/CatalogueKeys.def"
#include "lang/CatalogueExtraKeys.def"
#undef QV_TEXT

// The locale the current language file names under "LanguageLocale" (for
// example "de"); empty when it names none. Qt's own dialog texts follow it.
extern std::string LanguageLocale;

// Lines "name=pattern" of the language file's filter section, in file order.
extern std::vector<std::string> AcceptedFilters;
// Extensions (with their dot) whose sources go through the DirectShow script.
extern std::vector<std::string> DirectShowExtensions;

// One catalogue entry, for code that walks the whole catalogue.
struct TCatalogueEntry {
    std::string* Text;
    const char* WriteKey;
    const char* ReadKey;
    const char* English;
};
// The 289 keys that language files carry, in file order.
const std::vector<TCatalogueEntry>& CatalogueEntries();
// Texts beyond them (read from language files, never written by WriteDefaultLanguage).
const std::vector<TCatalogueEntry>& CatalogueExtraEntries();
// Puts every text back to its English value.
void ResetCatalogue();

// "#13" stands for a line break inside a stored text.
std::string DecodeCatalogueText(const std::string& text);
std::string EncodeCatalogueText(const std::string& text);

// Where LoadLanguage's failure messages go (a message box in the GUI); by
// default they are written to standard error.
void SetLanguageMessageHandler(std::function<void(const std::string&)> handler);

// Called after every successful LoadLanguage (the GUI installs Qt's own
// translation of LanguageLocale there). An empty function removes it.
void SetLanguageLoadedHandler(std::function<void()> handler);

// The help page of a language file: "<name>_help.html" beside it, or the
// English page when the language has none. Without either, the language's
// own page name (opening it then reports the missing file).
std::string LanguageHelpFile(const std::string& languageFilePath);

// Fills the catalogue and the two lists from LanguageFilePath, writing the
// English file first when it is missing. False (after its message) when the
// file is refused (not a regular file, larger than 1 MiB, unreadable) or has
// no extension list or no filter list.
bool LoadLanguage();
// Writes the catalogue's current texts into a new file at LanguageFilePath,
// with the extension and filter lists of the shipped English file.
// Throws EIniWriteError when the file cannot be written.
void WriteDefaultLanguage();

// The language files of a folder, for the Language menu.
class TKestMultiLanguages {
public:
    TKestMultiLanguages(const std::string& folder, const std::string& keyName, const std::string& sectionName);

    int LanguageCount() const { return static_cast<int>(paths_.size()); }
    // Empty text for an index outside 0 .. count - 1.
    std::string LanguagePath(int index) const;
    std::string LanguageDisplayName(int index) const;
    int ItemIndex() const { return itemIndex_; }
    // An index outside 0 .. count - 1 is ignored.
    void SetItemIndex(int index);

private:
    std::vector<std::string> paths_;
    std::vector<std::string> names_;
    int itemIndex_ = 0;
};
