#pragma once

// Helpers shared by the fuzz targets.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace qvfuzz {

// A private folder for the files a target writes, made on first use and
// removed when the program ends. Placed in /dev/shm when it exists so that
// the many small writes stay in memory.
inline const std::string& WorkDir()
{
    static const std::string dir = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                                          : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "quorvex-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string removeAtExit;
        removeAtExit = tmpl;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(removeAtExit, ec);
        });
        return tmpl + "/";
    }();
    return dir;
}

inline void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Stops the run with a message; libFuzzer keeps the input as a finding.
[[noreturn]] inline void Fail(const std::string& what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void Check(bool ok, const std::string& what)
{
    if (!ok)
        Fail(what);
}

// Cuts bytes at NUL characters into parts (the last part runs to the end).
inline std::vector<std::string> SplitAtNul(std::string_view bytes)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t z = bytes.find('\0', start);
        parts.emplace_back(bytes.substr(start, z == std::string_view::npos ? std::string_view::npos : z - start));
        if (z == std::string_view::npos)
            break;
        start = z + 1;
    }
    return parts;
}

} // namespace qvfuzz
