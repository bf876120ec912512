#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace qvtest {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes out of scope. Tests write only inside these.
class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quorvex-test-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder as text with a trailing "/", the form the program's folder variables have.
    std::string dir() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The source tree and the built program folder: from the environment CTest
// sets, or the build's own folders when a test program is run by hand.
inline std::string SourceDir()
{
    const char* v = std::getenv("QV_SOURCE_DIR");
#ifdef QV_TEST_SOURCE_DIR
    return v && *v ? v : QV_TEST_SOURCE_DIR;
#else
    return v ? v : ".";
#endif
}

inline std::string AppDir()
{
    const char* v = std::getenv("QV_APP_DIR");
#ifdef QV_TEST_APP_DIR
    return v && *v ? v : QV_TEST_APP_DIR;
#else
    return v ? v : ".";
#endif
}

inline void WriteFile(const std::string& path, const std::string& content)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace qvtest
