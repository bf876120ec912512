#include "engine/OutputNames.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "platform/TextRules.h"

namespace {

constexpr size_t MaxComponentBytes = 255;

const char* const TagFields[] = {"{artist}", "{albumartist}", "{album}", "{title}",
                                 "{track}",  "{disc}",        "{date}",  "{genre}"};

// A value with every character that breaks a name replaced by "_".
std::string SafeText(const std::string& text)
{
    std::string safe = text;
    for (char& c : safe) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    }
    return safe;
}

// The first number of a track or disc tag ("3/12" gives 3); -1 without one.
long LeadingNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    long value = -1;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && value < 100000; ++i)
        value = (value < 0 ? 0 : value * 10) + (text[i] - '0');
    return value;
}

std::string FieldValue(const std::string& field, const TNameFields& f, bool& known)
{
    known = true;
    auto orElse = [](const std::string& value, const std::string& fallback) {
        return value.empty() ? fallback : value;
    };
    if (field == "name") return f.Name;
    if (field == "artist") return orElse(f.Artist, "Unknown Artist");
    if (field == "albumartist") return orElse(f.AlbumArtist, orElse(f.Artist, "Unknown Artist"));
    if (field == "album") return orElse(f.Album, "Unknown Album");
    if (field == "title") return orElse(f.Title, f.Name);
    if (field == "track" || field == "disc") {
        const long n = LeadingNumber(field == "track" ? f.Track : f.Disc);
        if (n < 0)
            return field == "track" ? "00" : "1";
        const std::string digits = std::to_string(n);
        return field == "track" && digits.size() < 2 ? "0" + digits : digits;
    }
    if (field == "date") return f.Date;
    if (field == "genre") return f.Genre;
    if (field == "format") return f.Format;
    known = false;
    return {};
}

// Cut to at most Limit bytes, never inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::string SafeComponent(const std::string& component)
{
    return component.empty() || component == "." || component == ".." ? "_" : component;
}

} // namespace

bool TemplateNeedsTags(const std::string& nameTemplate)
{
    for (const char* field : TagFields)
        if (nameTemplate.find(field) != std::string::npos)
            return true;
    return false;
}

std::string ExpandNameTemplate(const std::string& nameTemplate, const TNameFields& fields)
{
    // Built component by component: only the template's own "/" separates.
    std::vector<std::string> components(1);
    for (size_t i = 0; i < nameTemplate.size();) {
        const char c = nameTemplate[i];
        if (c == '/') {
            components.emplace_back();
            ++i;
            continue;
        }
        if (c == '{') {
            const size_t close = nameTemplate.find('}', i);
            if (close != std::string::npos) {
                bool known = false;
                const std::string value = FieldValue(nameTemplate.substr(i + 1, close - i - 1), fields, known);
                if (known) {
                    components.back() += SafeText(value);
                    i = close + 1;
                    continue;
                }
            }
        }
        components.back() += SafeText(std::string(1, c));
        ++i;
    }
    std::string path;
    for (const std::string& component : components)
        path += (path.empty() ? "" : "/") + SafeComponent(component);
    return path;
}

std::string OutputPathOf(const TOutputNaming& naming, const std::string& source, const TSourcePlace& place,
                         const TNameFields& fields)
{
    std::string base;
    std::string relative; // below base, without extension
    if (naming.BesideSource) {
        const size_t slash = source.rfind('/');
        base = slash == std::string::npos ? "." : source.substr(0, slash);
    } else {
        base = naming.Folder;
    }
    const std::string sourceName = FileNamePart(source);
    const std::string stem = sourceName.substr(0, sourceName.size() - FileExtension(sourceName).size());
    if (!naming.Template.empty()) {
        relative = ExpandNameTemplate(naming.Template, fields);
    } else {
        if (!naming.BesideSource && !place.Folder.empty()) {
            const std::string folderName = FileNamePart(place.Folder);
            if (!folderName.empty())
                relative = folderName + "/";
            const size_t slash = place.RelativePath.rfind('/');
            if (slash != std::string::npos)
                relative += place.RelativePath.substr(0, slash + 1);
        }
        relative += stem;
    }
    std::string path = base;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const std::vector<std::string> parts = SplitText(relative, '/');
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        // Names made from tags are cut to fit; a source's own name that is
        // too long with the new extension is refused by the batch instead.
        const size_t room = last ? MaxComponentBytes - std::min(naming.Extension.size(), MaxComponentBytes)
                                 : MaxComponentBytes;
        const std::string part = naming.Template.empty() ? parts[i] : CutUtf8(parts[i], room);
        path += (path == "/" ? "" : "/") + part + (last ? naming.Extension : "");
    }
    return path;
}
