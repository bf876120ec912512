#include "engine/SourceFiles.h"

#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "platform/TextRules.h"

bool IsAcceptedExtension(const std::string& extension, const std::vector<std::string>& filters)
{
    // "movie." has only a dot; "*" and "?" would make "*.*" match itself.
    if (extension.size() < 2 || extension[0] != '.' || extension.find_first_of("*?") != std::string::npos)
        return false;
    const std::string wanted = "*" + extension;
    for (const std::string& line : filters) {
        const size_t eq = line.find('=');
        for (const std::string& pattern : SplitText(eq == std::string::npos ? line : line.substr(eq + 1), ';'))
            if (SameTextAscii(TrimIniBlanks(pattern), wanted))
                return true;
    }
    return false;
}

bool IsAcceptedSourceName(const std::string& path)
{
    return IsAcceptedExtension(FileExtension(path), AcceptedFilters);
}
