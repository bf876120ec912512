#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace avcore {

// A small JSON reader for ffprobe's "-of json" output: objects, arrays,
// strings, numbers, true/false/null. Numbers keep their text so that
// "duration": "2.000000" and "channels": 2 read the same way.
struct TJsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text; // string value, or the number as written
    std::vector<TJsonValue> items;
    std::map<std::string, TJsonValue> members;

    const TJsonValue* find(const std::string& key) const;
    // The member's value as text ("" when missing or not a scalar).
    std::string str(const std::string& key) const;
    // The member's value as a number (fallback when missing or unreadable).
    double num(const std::string& key, double fallback = 0) const;
};

// Parses the whole text; false (with a message) on malformed input.
bool ParseJson(const std::string& text, TJsonValue& out, std::string& error);

} // namespace avcore
