#pragma once

// A throw-away program folder for main-window tests: the built program's
// languages and encoder copied into a temporary folder, options.ini and
// config.ini written there, and small media files generated with ffmpeg.

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "support/FakePowerActions.h"
#include "support/SampleMedia.h"
#include "support/TempDir.h"
#include "support/WidgetLookup.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/Shell.h"
#include "ui/dialogs/ProgressWnd.h"
#include "ui/main/MainWnd.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QUrl>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class TMainFixture {
public:
    TMainFixture()
    {
        const char* app = std::getenv("QV_APP_DIR");
        builtApp_ = app ? app : "";
        appDir_ = dir_.dir() + "app/";
        fs::create_directories(appDir_);
        if (!builtApp_.empty() && fs::exists(fs::path(builtApp_) / "langs"))
            fs::copy(fs::path(builtApp_) / "langs", fs::path(appDir_) / "langs", fs::copy_options::recursive);
        if (!builtApp_.empty() && fs::exists(fs::path(builtApp_) / "avcore.dll"))
            fs::copy_file(fs::path(builtApp_) / "avcore.dll", fs::path(appDir_) / "avcore.dll");
        mediaDir_ = dir_.dir() + "media/";
        fs::create_directories(mediaDir_);
        InitApplication(appDir_);
        // Each window starts with an empty list kept in memory; the tests of
        // the stored list name a file.
        QueueFile.clear();
        LoadLanguage();
    }

    const std::string& AppDir() const { return appDir_; }
    // The program folder of the build (QV_APP_DIR); "" when unknown.
    const std::string& BuiltAppDir() const { return builtApp_; }
    const std::string& MediaDir() const { return mediaDir_; }
    std::string Temp(const std::string& name) const { return dir_.file(name); }

    // A one-second clip (tiny picture and a tone); empty when ffmpeg could
    // not make it.
    std::string MakeClip(const std::string& name, bool withVideo = true)
    {
        const std::string path = mediaDir_ + name;
        const std::vector<std::string> picture = withVideo ? qvtest::TestPicture("64x48", 10, "1") : std::vector<std::string>();
        const std::vector<std::string> videoCodec = withVideo ? std::vector<std::string>{"-c:v", "mpeg4"} : std::vector<std::string>();
        const bool made = qvtest::MakeMedia(qvtest::JoinArgs({picture, qvtest::SineTone("1", "sample_rate=8000"), videoCodec,
                                                              {"-c:a", "pcm_s16le", "-shortest", path}}));
        return made && fs::exists(path) ? path : std::string();
    }

    // Copies of one clip under new names.
    std::vector<std::string> CopyClip(const std::string& clip, const std::vector<std::string>& names)
    {
        std::vector<std::string> paths;
        for (const std::string& n : names) {
            const std::string p = mediaDir_ + n;
            fs::copy_file(clip, p, fs::copy_options::overwrite_existing);
            paths.push_back(p);
        }
        return paths;
    }

    void WriteOptions(const std::string& text) { qvtest::WriteFile(appDir_ + "options.ini", text); }
    std::string ReadOptions() const { return qvtest::ReadFile(appDir_ + "options.ini"); }
    void RemoveOptions() { fs::remove(appDir_ + "options.ini"); }

    // A new main window over the current options.ini; Quit requests are recorded.
    std::unique_ptr<TfrmMain> NewWindow()
    {
        auto frm = std::make_unique<TfrmMain>();
        quitCodes_.clear();
        frm->QuitHook = [this](int code) { quitCodes_.push_back(code); };
        return frm;
    }
    const std::vector<int>& QuitCodes() const { return quitCodes_; }

private:
    qvtest::TempDir dir_;
    std::string builtApp_;
    std::string appDir_;
    std::string mediaDir_;
    std::vector<int> quitCodes_;
};

// What a batch from the main window reaches, for a whole test program: a
// tray is there, power actions are only recorded and links are not opened.
// All is put back when it goes.
class TBatchSurroundings {
public:
    explicit TBatchSurroundings(std::vector<std::string>* powerCalls)
    {
        TfrmProgress::SetTrayAvailableOverride(true);
        previousPower_ = SetPowerActions(std::make_unique<qvtest::TFakePower>(powerCalls));
        SetUrlOpener([](const QUrl&) { return true; });
    }
    ~TBatchSurroundings()
    {
        SetUrlOpener(nullptr);
        SetPowerActions(std::move(previousPower_));
        TfrmProgress::SetTrayAvailableOverride(std::nullopt);
    }
    TBatchSurroundings(const TBatchSurroundings&) = delete;
    TBatchSurroundings& operator=(const TBatchSurroundings&) = delete;

private:
    std::unique_ptr<TPowerActions> previousPower_;
};

using qvtest::Act;
using qvtest::Child;

inline QStringList ListPaths(const TfrmMain& frm)
{
    QStringList out;
    for (int i = 0; i < frm.FileCount(); ++i)
        out << QString::fromStdString(frm.FilePathAt(i));
    return out;
}

// Whether every listed file was converted (converted files stay listed).
inline bool AllConverted(const TfrmMain& frm)
{
    for (int i = 0; i < frm.FileCount(); ++i)
        if (frm.FileStateAt(i) != TFileState::Converted)
            return false;
    return true;
}
