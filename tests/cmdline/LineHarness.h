#pragma once

#include "app/Settings.h"
#include "cmdline/OptionDetails.h"
#include "profiles/globals.h"
#include "profiles/profiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace qvtest {

// One option line: a format's record after its defaults and Setup, saved as a
// profile file; the line built from that file must equal Expected exactly.
struct TLineCase {
    const char* Name;
    OutputFormatKind Format;
    void (*Setup)();
    std::string Expected;
};

inline std::ostream& operator<<(std::ostream& out, const TLineCase& c) { return out << c.Name; }

// Saves the record, resets it to its defaults (so every value must come back
// through the load) and builds the line through the dispatcher.
inline std::string BuildLine(OutputFormatKind format, void (*setup)())
{
    TempDir dir;
    const std::string file = dir.file("profile.ini");
    const int f = static_cast<int>(format);
    DefaultFormatSettings(f);
    if (setup)
        setup();
    SaveFormatSettings(f, file);
    DefaultFormatSettings(f);
    Options.OutputFormat = static_cast<uint8_t>(f);
    std::string line = "stale ";
    BuildEncoderOptions(file, line);
    return line;
}

class LineTest : public ::testing::TestWithParam<TLineCase> { };

inline std::string CaseName(const ::testing::TestParamInfo<TLineCase>& info) { return info.param.Name; }

} // namespace qvtest
