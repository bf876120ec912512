#pragma once

// Fills the "%s" and "%d" places of a catalogue format text. Language files
// are data, so a text with other or more directives than expected must never
// crash or read past the arguments: "%%" gives "%", any other directive stays
// as written, and a place without an argument is left empty.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class TFormatArg {
public:
    TFormatArg(const std::string& s) : value_(s) {}
    TFormatArg(std::string_view s) : value_(std::string(s)) {}
    TFormatArg(const char* s) : value_(std::string(s ? s : "")) {}
    TFormatArg(int v) : value_(static_cast<int64_t>(v)) {}
    TFormatArg(long v) : value_(static_cast<int64_t>(v)) {}
    TFormatArg(long long v) : value_(static_cast<int64_t>(v)) {}
    TFormatArg(unsigned v) : value_(static_cast<int64_t>(v)) {}

    std::string Text() const;

private:
    std::variant<std::string, int64_t> value_;
};

std::string FormatText(std::string_view fmt, std::initializer_list<TFormatArg> args);

// A caption and its figure as people read them ("Batch: 88%"): joined by a
// blank, except after a caption that already ends in a blank or in "="
// (language files that write "Batch=" keep showing "Batch=88%").
std::string CaptionedFigure(const std::string& caption, const std::string& figure);

// The name of after-batch action 0 to 5 as the settings window lists it
// ("Close Quorvex", "Shut down", ...); empty for any other value.
std::string ShutdownActionText(int action);

// A file dialog's filter: for every "name=value" entry name + "|" + value +
// "|"; then the catalogue text "All Files" + "|*.*".
std::string BuildFilterString(const std::vector<std::string>& entries);
