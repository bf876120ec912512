#include "encoder/Json.h"

#include <cctype>
#include <charconv>

namespace avcore {

const TJsonValue* TJsonValue::find(const std::string& key) const
{
    auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

std::string TJsonValue::str(const std::string& key) const
{
    const TJsonValue* v = find(key);
    if (!v || (v->kind != Kind::String && v->kind != Kind::Number))
        return {};
    return v->text;
}

double TJsonValue::num(const std::string& key, double fallback) const
{
    std::string t = str(key);
    if (t.empty())
        return fallback;
    double d = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (ec != std::errc() || p != t.data() + t.size())
        return fallback;
    return d;
}

namespace {

class TParser {
public:
    explicit TParser(const std::string& s) : s_(s) {}

    bool parse(TJsonValue& out, std::string& error)
    {
        if (!value(out, 0)) {
            error = "malformed JSON near offset " + std::to_string(pos_);
            return false;
        }
        skipBlanks();
        if (pos_ != s_.size()) {
            error = "unexpected text after JSON at offset " + std::to_string(pos_);
            return false;
        }
        return true;
    }

private:
    const std::string& s_;
    size_t pos_ = 0;

    void skipBlanks()
    {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }

    bool eat(char c)
    {
        if (pos_ >= s_.size() || s_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // The elements of an object or array after its opening bracket, up to
    // Close: none, or elements separated by commas.
    template <class TElement>
    bool list(char close, TElement element)
    {
        skipBlanks();
        if (eat(close))
            return true;
        for (;;) {
            if (!element())
                return false;
            skipBlanks();
            if (eat(','))
                continue;
            return eat(close);
        }
    }

    bool literal(const char* word)
    {
        std::string w(word);
        if (s_.compare(pos_, w.size(), w) != 0)
            return false;
        pos_ += w.size();
        return true;
    }

    static void appendUtf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(unsigned& cp)
    {
        if (pos_ + 4 > s_.size())
            return false;
        auto [p, ec] = std::from_chars(s_.data() + pos_, s_.data() + pos_ + 4, cp, 16);
        if (ec != std::errc() || p != s_.data() + pos_ + 4)
            return false;
        pos_ += 4;
        return true;
    }

    bool string(std::string& out)
    {
        if (pos_ >= s_.size() || s_[pos_] != '"')
            return false;
        ++pos_;
        while (pos_ < s_.size()) {
            char c = s_[pos_++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size())
                return false;
            char e = s_[pos_++];
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    unsigned low = 0;
                    if (!hex4(low))
                        return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, cp);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    bool value(TJsonValue& v, int depth)
    {
        if (depth > 64)
            return false;
        skipBlanks();
        if (pos_ >= s_.size())
            return false;
        char c = s_[pos_];
        if (c == '{') {
            v.kind = TJsonValue::Kind::Object;
            ++pos_;
            return list('}', [&] {
                skipBlanks();
                std::string key;
                if (!string(key))
                    return false;
                skipBlanks();
                if (!eat(':'))
                    return false;
                TJsonValue member;
                if (!value(member, depth + 1))
                    return false;
                v.members[key] = std::move(member);
                return true;
            });
        }
        if (c == '[') {
            v.kind = TJsonValue::Kind::Array;
            ++pos_;
            return list(']', [&] {
                TJsonValue item;
                if (!value(item, depth + 1))
                    return false;
                v.items.push_back(std::move(item));
                return true;
            });
        }
        if (c == '"') {
            v.kind = TJsonValue::Kind::String;
            return string(v.text);
        }
        if (literal("true")) {
            v.kind = TJsonValue::Kind::Bool;
            v.boolean = true;
            return true;
        }
        if (literal("false")) {
            v.kind = TJsonValue::Kind::Bool;
            return true;
        }
        if (literal("null"))
            return true;
        size_t start = pos_;
        while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '-' || s_[pos_] == '+'
                                    || s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E'))
            ++pos_;
        if (pos_ == start)
            return false;
        v.kind = TJsonValue::Kind::Number;
        v.text = s_.substr(start, pos_ - start);
        return true;
    }
};

} // namespace

bool ParseJson(const std::string& text, TJsonValue& out, std::string& error)
{
    out = TJsonValue();
    return TParser(text).parse(out, error);
}

} // namespace avcore
