// The two rules every program of the system shares for file names: how a name
// is written on a console, and how a DirectShow script names its source.

#include <gtest/gtest.h>

#include "app/SourceScript.h"
#include "app/VisibleText.h"

namespace {

TEST(VisibleText, ControlCharactersAndForeignBytesAreEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.avi", "plain name.avi"},
        {"a\nError boom", "a\\nError boom"},   // can never start a line of its own
        {"a\r\n", "a\\r\\n"},
        {"tab\there", "tab\\there"},
        {"\x1b[2J\x1b[H", "\\x1B[2J\\x1B[H"}, // cursor movement stays text
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7F"},
        {"caf\xe9.avi", "caf\\xE9.avi"},        // Latin-1 byte: no UTF-8
        {"Gr\xc3\xbc\xc3\x9f" "e", "Gr\xc3\xbc\xc3\x9f" "e"}, // valid UTF-8 stays
        {"\xf0\x9f\x8e\xac", "\xf0\x9f\x8e\xac"},             // four-byte sequence
        {"\xc2\xa0", "\xc2\xa0"},                             // no-break space is no control
        {"\xc2\x9b" "2J", "\\xC2\\x9B2J"},                    // C1 control sequence introducer
        {"\xe2\x82", "\\xE2\\x82"},                           // cut sequence
        {"\xc0\xaf", "\\xC0\\xAF"},                           // overlong form
        {"\xed\xa0\x80", "\\xED\\xA0\\x80"},                  // surrogate
        {"back\\slash", "back\\slash"},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(qvtext::VisibleText(in), out) << out;
        EXPECT_TRUE(qvtext::IsVisibleText(qvtext::VisibleText(in))) << out;
    }
}

TEST(SourceScript, OnlyNamesWithoutQuotesAndControlCharactersGoIntoAScript)
{
    const std::pair<std::string, bool> cases[] = {
        {"/data/my clip (1) 'x'.rmvb", true},
        {"/data/caf\xe9.rmvb", true},
        {"/data/a\")\nDirectShowSource(\"/etc/passwd\")\n.rmvb", false},
        {"/data/quote\".rmvb", false},
        {"/data/cr\r.rmvb", false},
        {"/data/tab\t.rmvb", false},
        {"", false},
    };
    for (const auto& [name, allowed] : cases)
        EXPECT_EQ(qvscript::CanNameInScript(name), allowed) << name;
}

TEST(SourceScript, AScriptNamesExactlyTheNameWrittenIntoIt)
{
    // Every name the writer accepts comes back unchanged from the reader.
    const char* names[] = {"/data/a b.avi", "/x/it's (2).rmvb", "/x/Source(.avi", "/x/)\\.avi", "/x/caf\xe9.avi"};
    for (const char* name : names) {
        ASSERT_TRUE(qvscript::CanNameInScript(name));
        std::string source, error;
        ASSERT_TRUE(qvscript::ScriptSource("# one file\r\nDirectShowSource(\"" + std::string(name) + "\")\r\n", source,
                                           error));
        EXPECT_EQ(source, name);
    }
    struct {
        const char* text;
        const char* source; // "" = refused
    } cases[] = {
        {"DirectShowSource(\"/a.avi\", fps=25)", "/a.avi"},
        {"# DirectShowSource(\"/first.avi\")\nDirectShowSource(\"/second.avi\")", "/first.avi"},
        {"DirectShowSource(\"/a\nDirectShowSource(\"/etc/passwd\")", ""},
        {"DirectShowSource(\"\")", ""},
        {"Version()", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::string source, error;
        const bool ok = qvscript::ScriptSource(c.text, source, error);
        EXPECT_EQ(ok, *c.source != 0) << c.text;
        if (ok)
            EXPECT_EQ(source, c.source);
        else
            EXPECT_FALSE(error.empty());
    }
}

} // namespace
