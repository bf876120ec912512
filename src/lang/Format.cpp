#include "lang/Format.h"

#include "app/Settings.h"
#include "lang/MultiLanguages.h"

std::string TFormatArg::Text() const
{
    if (const auto* s = std::get_if<std::string>(&value_))
        return *s;
    return std::to_string(std::get<int64_t>(value_));
}

std::string CaptionedFigure(const std::string& caption, const std::string& figure)
{
    if (caption.empty() || caption.back() == ' ' || caption.back() == '=')
        return caption + figure;
    return caption + " " + figure;
}

std::string ShutdownActionText(int action)
{
    switch (action) {
    case 0: return FormatText(IDS_SETTINGS_COMBOBOX_Close, {ApplicationTitle});
    case 1: return IDS_SETTINGS_COMBOBOX_ShutDown;
    case 2: return IDS_SETTINGS_COMBOBOX_LogOff;
    case 3: return IDS_SETTINGS_COMBOBOX_Restart;
    case 4: return IDS_SETTINGS_COMBOBOX_Hibernate;
    case 5: return IDS_SETTINGS_COMBOBOX_Suspend;
    default: return {};
    }
}

std::string FormatText(std::string_view fmt, std::initializer_list<TFormatArg> args)
{
    std::string out;
    out.reserve(fmt.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%' || i + 1 >= fmt.size()) {
            out += c;
            continue;
        }
        char d = fmt[i + 1];
        if (d == '%') {
            out += '%';
            ++i;
        } else if (d == 's' || d == 'd') {
            if (next != args.end())
                out += (next++)->Text();
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string BuildFilterString(const std::vector<std::string>& entries)
{
    std::string result;
    for (const auto& entry : entries) {
        const size_t eq = entry.find('=');
        if (eq == std::string::npos)
            result += entry + "||";
        else
            result += entry.substr(0, eq) + "|" + entry.substr(eq + 1) + "|";
    }
    return result + IDS_FILEINFORMATION_LABEL_AllFile + "|*.*";
}
