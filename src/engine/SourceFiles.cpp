#include "engine/SourceFiles.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

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

namespace {

struct TFolderId {
    dev_t Device;
    ino_t Inode;
    bool operator==(const TFolderId&) const = default;
};

void WalkInto(const std::string& folder, const std::string& relative, const std::vector<TFolderId>& skip,
              std::vector<TFolderId>& seen, const std::string& root, std::vector<TWalkedFile>& found)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir))
        if (entry->d_name[0] != '.') // hidden entries, ".", "..", partial outputs
            names.push_back(entry->d_name);
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        const std::string rel = relative.empty() ? name : relative + "/" + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const TFolderId id{st.st_dev, st.st_ino};
            // Bind mounts can show a folder inside itself; each folder is walked once.
            if (std::find(skip.begin(), skip.end(), id) != skip.end() ||
                std::find(seen.begin(), seen.end(), id) != seen.end())
                continue;
            seen.push_back(id);
            WalkInto(path, rel, skip, seen, root, found);
            continue;
        }
        // A link counts as what it names: a file is taken, a folder is not.
        if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISREG(st.st_mode) && IsAcceptedSourceName(path))
            found.push_back({path, {root, rel}});
    }
}

} // namespace

std::vector<TWalkedFile> WalkSourceFolder(const std::string& folder, const std::vector<std::string>& skip)
{
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    std::vector<TFolderId> skipIds;
    for (const std::string& s : skip) {
        struct stat st {};
        if (!s.empty() && ::stat(s.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            skipIds.push_back({st.st_dev, st.st_ino});
    }
    std::vector<TWalkedFile> found;
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return found;
    std::vector<TFolderId> seen{{st.st_dev, st.st_ino}};
    WalkInto(root == "/" ? "" : root, "", skipIds, seen, root, found);
    std::sort(found.begin(), found.end(),
              [](const TWalkedFile& a, const TWalkedFile& b) { return a.Place.RelativePath < b.Place.RelativePath; });
    return found;
}
