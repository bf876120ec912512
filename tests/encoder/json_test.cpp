// The small JSON reader the encoder reads ffprobe's report with.

#include "encoder/Json.h"

#include <gtest/gtest.h>

using namespace avcore;

namespace {

// A compact picture of a value: objects {k=v,...}, arrays [v,...], scalars as text.
std::string Shape(const TJsonValue& v)
{
    switch (v.kind) {
    case TJsonValue::Kind::Null: return "null";
    case TJsonValue::Kind::Bool: return v.boolean ? "true" : "false";
    case TJsonValue::Kind::Number: return v.text;
    case TJsonValue::Kind::String: return "'" + v.text + "'";
    case TJsonValue::Kind::Array: {
        std::string out = "[";
        for (const TJsonValue& i : v.items)
            out += (out.size() > 1 ? "," : "") + Shape(i);
        return out + "]";
    }
    case TJsonValue::Kind::Object: {
        std::string out = "{";
        for (const auto& [k, m] : v.members)
            out += (out.size() > 1 ? "," : "") + k + "=" + Shape(m);
        return out + "}";
    }
    }
    return "?";
}

TEST(Json, ObjectsArraysAndScalars)
{
    struct {
        const char* text;
        const char* shape; // "" = refused
    } cases[] = {
        {"{}", "{}"},
        {" [ ] ", "[]"},
        {"{\"a\" : [1, -2.5e3, true, false, null], \"b\":{\"c\":\"x\"}}", "{a=[1,-2.5e3,true,false,null],b={c='x'}}"},
        {"[[],{},[[1]]]", "[[],{},[[1]]]"},
        {"\n{\"s\":\"caf\\u00e9 \\\"q\\\" \\ud83d\\ude00\"}\r\n", "{s='caf\xc3\xa9 \"q\" \xf0\x9f\x98\x80'}"},
        {"{\"a\":1,}", ""},  // a comma needs an element after it
        {"[1,,2]", ""},
        {"[1 2]", ""},
        {"{\"a\" 1}", ""},   // no colon
        {"{a:1}", ""},       // keys are strings
        {"[1", ""},          // unclosed
        {"{\"a\":1}}", ""},  // text after the value
        {"", ""},
        {"\"abc", ""},
    };
    for (const auto& c : cases) {
        TJsonValue v;
        std::string error;
        const bool ok = ParseJson(c.text, v, error);
        EXPECT_EQ(ok, *c.shape != 0) << c.text;
        if (ok)
            EXPECT_EQ(Shape(v), c.shape) << c.text;
        else
            EXPECT_FALSE(error.empty()) << c.text;
    }
}

TEST(Json, NestingIsLimited)
{
    TJsonValue v;
    std::string error;
    EXPECT_TRUE(ParseJson(std::string(60, '[') + std::string(60, ']'), v, error)) << error;
    EXPECT_FALSE(ParseJson(std::string(100000, '['), v, error)) << "deep nesting is refused, not a stack overflow";
}

} // namespace
