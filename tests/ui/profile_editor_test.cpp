// The profile editors, driven through their object names: every
// bound field round-trips, values without a control state collect as the
// editors define, and the rules between controls hold.

#include "app/Settings.h"
#include "lang/MultiLanguages.h"
#include "platform/IniFile.h"
#include "profiles/EditorDescriptions.h"
#include "profiles/EditorRules.h"
#include "profiles/RecordFields.h"
#include "profiles/profiles.h"
#include "ui/common/MessageDialogs.h"
#include "ui/common/Mnemonics.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/SettingsWnd.h"
#include "ui/editors/ProfileEditor.h"

#include "support/TempDir.h"
#include "support/WidgetLookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

namespace {

using qvtest::Child;
using qvtest::Click;
using qvtest::MnemonicClashes;

constexpr int F(OutputFormatKind k) { return static_cast<int>(k); }

// How many states the control of an index key offers.
std::map<std::string, int> IndexCounts(const TEditorDescription& d)
{
    std::map<std::string, int> n;
    if (!d.FormatKey.empty())
        n[d.FormatKey] = static_cast<int>(d.FormatEntries.size());
    for (const auto* lists : { &d.VideoLists, &d.AudioLists })
        for (const TCodecList& l : *lists)
            n[l.Key] = static_cast<int>(l.Entries.size());
    for (const TSettingList& l : d.SettingLists)
        n[l.Key] = static_cast<int>(l.Entries().size());
    for (const TCodecPage& p : d.VideoPages) {
        n["VideoFrameRate" + p.Suffix] = static_cast<int>(FrameRateTexts(p.FrameRates).size());
        n["VideoAspect" + p.Suffix] = p.Kind == TPageKind::H263 ? H263AspectCount : VideoAspectCount;
    }
    for (const TCodecPage& p : d.AudioPages) {
        n["AudioSampleRate" + p.Suffix] = static_cast<int>(SampleRateTexts(p.SampleRates).size());
        n["AudioChannels" + p.Suffix] = static_cast<int>(ChannelTexts(p.Channels).size());
    }
    n["TargetFormat"] = n["PresetType"] = n["DVDVideoAspect"] = 3;
    return n;
}

// A position of a trackbar within its usable range whose entry differs from
// the current value.
int32_t OtherPreset(const TPresetTable& table, TPositionRange range, int32_t current)
{
    for (int p = range.Max; p >= range.Min; --p)
        if (PresetValue(table, p) != current)
            return PresetValue(table, p);
    return current;
}

// A record whose every bound field holds a value other than its default that
// the controls can show (a field whose control offers one state keeps it).
TProfileRecord NonDefaultRecord(const TEditorDescription& d)
{
    TProfileRecord r = DefaultRecord(d.Format);
    const std::map<std::string, int> counts = IndexCounts(d);
    for (const std::string& key : BoundKeys(d)) {
        const TFieldInfo* f = FindField(d.Format, key);
        if (!f)
            continue;
        const TFieldValue def = f->Default();
        switch (f->Kind) {
        case TFieldKind::Text:
            SetField(r, key, std::string("changed ") + key);
            break;
        case TFieldKind::Time:
            SetField(r, key, std::string(key == "StartTime" ? "0:00:10.000" : "0:01:05.500"));
            break;
        case TFieldKind::Flag:
            SetField(r, key, !std::get<bool>(def));
            break;
        case TFieldKind::Index: {
            const int count = counts.at(key);
            SetField(r, key, static_cast<uint8_t>((std::get<uint8_t>(def) + 1) % count));
            break;
        }
        case TFieldKind::Number:
            break; // below, once the lists they depend on are set
        }
    }
    for (const TCodecPage& p : d.VideoPages) {
        const std::string& c = p.Suffix;
        SetField(r, "VideoBitRatePreset" + c,
            OtherPreset(*p.Presets, { 1, p.TrackBarMax }, GetNumber(r, "VideoBitRatePreset" + c)));
        SetField(r, "VideoBitRateSpecify" + c, int32_t { 777 });
        if (p.Kind == TPageKind::H263) {
            const bool small = GetNumber(r, "VideoWidthH263") == 128;
            SetField(r, "VideoWidthH263", int32_t { small ? 176 : 128 });
            SetField(r, "VideoHeightH263", int32_t { small ? 144 : 96 });
        } else {
            SetField(r, "VideoWidth" + c, int32_t { 322 });
            SetField(r, "VideoHeight" + c, int32_t { 242 });
        }
    }
    for (const TCodecPage& p : d.AudioPages) {
        if (p.Kind != TPageKind::Audio)
            continue;
        const std::string& a = p.Suffix;
        const TPositionRange range = AudioBitrateRange(
            p.RangeRule, p.TrackBarMax, GetIndex(r, "AudioSampleRate" + a), GetIndex(r, "AudioChannels" + a));
        SetField(r, "AudioBitRatePreset" + a, OtherPreset(*p.Presets, range, GetNumber(r, "AudioBitRatePreset" + a)));
    }
    // A target no list entry names (shown in the number box) and a ceiling.
    SetField(r, "LoudnessTarget", int32_t { -183 });
    SetField(r, "TruePeakCeiling", int32_t { -25 });
    if (d.Extra == TEditorExtra::MpegPresets) {
        SetField(r, "DVDVideoBitRatePreset", PresetValue(StandardVideoBitRates, 9));
        SetField(r, "DVDVideoBitRateSpecify", int32_t { 5000 });
        SetField(r, "DVDAudioBitRatePreset", PresetValue(DvdAudioBitRates, 7));
    }
    return r;
}

std::string ValueText(const std::optional<TFieldValue>& v)
{
    if (!v)
        return "<none>";
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::string>)
                return '"' + x + '"';
            else
                return std::to_string(static_cast<int64_t>(x));
        },
        *v);
}

// Lengthens every catalogue text by a third (as a longer translation
// would) until destroyed; line breaks and format marks stay.
class TPseudoTranslation {
public:
    TPseudoTranslation()
    {
        for (const auto* entries : { &CatalogueEntries(), &CatalogueExtraEntries() })
            for (const TCatalogueEntry& e : *entries) {
                saved_.emplace_back(e.Text, *e.Text);
                const size_t extra = (e.Text->size() * 3 + 9) / 10;
                *e.Text += " " + std::string(extra, 'W');
            }
    }
    ~TPseudoTranslation()
    {
        for (auto& [text, value] : saved_)
            *text = value;
    }

private:
    std::vector<std::pair<std::string*, std::string>> saved_;
};

bool SameRecord(const TProfileRecord& a, const TProfileRecord& b)
{
    if (RecordFormat(a) != RecordFormat(b))
        return false;
    for (const std::string& key : RecordKeys(RecordFormat(a)))
        if (GetField(a, key) != GetField(b, key))
            return false;
    return true;
}

// Applies "Key=Value" settings to a record, each value read as its field's kind.
void Apply(TProfileRecord& r, const QStringList& settings)
{
    for (const QString& setting : settings) {
        const std::string key = S(setting.section('=', 0, 0));
        const QString value = setting.section('=', 1);
        const TFieldInfo* f = FindField(RecordFormat(r), key);
        QVERIFY2(f, key.c_str());
        bool set = false;
        switch (f->Kind) {
        case TFieldKind::Flag:
            set = SetField(r, key, value == "1");
            break;
        case TFieldKind::Index:
            set = SetField(r, key, static_cast<uint8_t>(value.toInt()));
            break;
        case TFieldKind::Number:
            set = SetField(r, key, static_cast<int32_t>(value.toInt()));
            break;
        case TFieldKind::Text:
        case TFieldKind::Time:
            set = SetField(r, key, S(value));
            break;
        }
        QVERIFY2(set, key.c_str());
    }
}

// A bitrate trackbar of an editor: its object name, its key and its table.
struct TBitrateBar {
    std::string Slider;
    std::string Key;
    const TPresetTable* Table;
};

std::vector<TBitrateBar> BitrateBars(const TEditorDescription& d)
{
    std::vector<TBitrateBar> bars;
    for (const TCodecPage& p : d.VideoPages)
        bars.push_back({ "TrackBarVideoBitrate" + p.Suffix, "VideoBitRatePreset" + p.Suffix, p.Presets });
    for (const TCodecPage& p : d.AudioPages)
        if (p.Kind == TPageKind::Audio)
            bars.push_back({ "TrackBarAudioBitrate" + p.Suffix, "AudioBitRatePreset" + p.Suffix, p.Presets });
    if (d.Extra == TEditorExtra::MpegPresets) {
        bars.push_back({ "TrackBarVideoBitrateDVD", "DVDVideoBitRatePreset", &StandardVideoBitRates });
        bars.push_back({ "TrackBarAudioBitrateDVD", "DVDAudioBitRatePreset", &DvdAudioBitRates });
    }
    return bars;
}

// The shipped profile files of the program folder, per language tree.
std::vector<std::pair<int, std::string>> ShippedProfileFiles(const std::string& tree)
{
    namespace fs = std::filesystem;
    std::vector<std::pair<int, std::string>> files;
    const char* app = std::getenv("QV_APP_DIR");
    for (int format = 0; format < OutputFormatCount; ++format) {
        const fs::path folder = fs::path(app ? app : "") / "shipped" / tree / ProfileFolderName(format);
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == "." + ProfileExtension(ProfileFolderName(format)))
                files.emplace_back(format, it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

class ProfileEditorTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("format");
        for (const TEditorDescription& d : EditorDescriptions())
            QTest::newRow(d.ClassName.c_str()) << d.Format;
    }

    // Every bound field shows and collects unchanged; the record handed in
    // is not touched.
    void roundTrip()
    {
        QFETCH(int, format);
        const TEditorDescription& d = EditorDescription(format);
        const TProfileRecord shown = NonDefaultRecord(d);
        auto editor = CreateProfileEditor(format);
        editor->ShowSettings(shown);
        editor->show();
        const TProfileRecord collected = editor->CollectSettings();
        int changed = 0;
        for (const std::string& key : RecordKeys(format)) {
            const auto before = GetField(shown, key);
            QVERIFY2(before == GetField(collected, key),
                (key + ": shown " + ValueText(before) + ", collected " + ValueText(GetField(collected, key))).c_str());
            if (before != FindField(format, key)->Default())
                ++changed;
        }
        QVERIFY(changed > 0);
        // Shown and not touched is no change; a new description is one.
        QVERIFY(!editor->HasUnsavedChanges());
        auto* description = Child<QLineEdit>(*editor, d.DescriptionControl.c_str());
        const QString text = description->text();
        description->setText(text + "!");
        QVERIFY(editor->HasUnsavedChanges());
        description->setText(text);
        QVERIFY(!editor->HasUnsavedChanges());
        // Collected into the default record as well: the same values.
        TProfileRecord into = DefaultRecord(format);
        editor->CollectSettings(into);
        for (const std::string& key : RecordKeys(format))
            QVERIFY2(GetField(into, key) == GetField(shown, key), key.c_str());
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, editor->ShowSettings(DefaultRecord((format + 1) % 16)));
    }

    void titleAndButtons_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("title");
        QTest::newRow("AVI") << F(OutputFormatKind::AVI) << "AVI Profile Editor";
        QTest::newRow("3GP") << F(OutputFormatKind::TGP) << "3GP Profile Editor";
        QTest::newRow("WAV") << F(OutputFormatKind::WAV) << "WAV Profile Editor";
    }

    void titleAndButtons()
    {
        QFETCH(int, format);
        QFETCH(QString, title);
        auto editor = CreateProfileEditor(format);
        const TEditorDescription& d = editor->Description();
        QCOMPARE(editor->windowTitle(), title);
        QVERIFY(Child<QPushButton>(*editor, "btnSave")->isDefault());
        QCOMPARE(Child<QPushButton>(*editor, "btnSave")->text(), QStringLiteral("&Save"));
        QCOMPARE(Child<QPushButton>(*editor, "btnClose")->text(), QStringLiteral("&Close"));
        // Tab order: description, the General tab top-down, ..., Save, Close.
        std::vector<QString> chain;
        QWidget* w = Child<QLineEdit>(*editor, d.DescriptionControl.c_str());
        for (int i = 0; i < 2000 && (chain.empty() || w->objectName() != chain.front()); ++i, w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus && !w->objectName().isEmpty())
                chain.push_back(w->objectName());
        auto at
            = [&](const std::string& name) { return std::find(chain.begin(), chain.end(), Q(name)) - chain.begin(); };
        const auto save = at("btnSave");
        QCOMPARE(at(d.DescriptionControl), 0);
        QVERIFY(at(d.EnableTimeControl) < at(d.StartTimeControl));
        QVERIFY(at(d.StartTimeControl) < at(d.AudioLists[0].ControlName));
        QVERIFY(at(d.AudioLists[0].ControlName) < save);
        QCOMPARE(at("btnClose"), save + 1);
        QCOMPARE(save + 2, static_cast<long>(chain.size()));
    }

    // Save closes with OK, Close and Escape with Cancel; with unsaved
    // changes Close, Escape and the close box ask first (Save, Discard,
    // Cancel). The editor itself changes no record in any case.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<int>("answer"); // to the question; 0 when none is expected
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("stillOpen"); // open after the answer
        QTest::newRow("Save") << "btnSave" << true << 0 << int(mrOk) << false;
        QTest::newRow("Return") << "return" << true << 0 << int(mrOk) << false;
        QTest::newRow("Close unchanged") << "btnClose" << false << 0 << int(mrCancel) << false;
        QTest::newRow("Escape unchanged") << "escape" << false << 0 << int(mrCancel) << false;
        QTest::newRow("Close, Discard") << "btnClose" << true << int(mrNo) << int(mrCancel) << false;
        QTest::newRow("Escape, Save") << "escape" << true << int(mrYes) << int(mrOk) << false;
        QTest::newRow("Close box, Discard") << "closebox" << true << int(mrNo) << int(mrCancel) << false;
        QTest::newRow("Close, Cancel goes on editing") << "btnClose" << true << int(mrCancel) << int(mrCancel) << true;
        QTest::newRow("Escape, question closed goes on editing")
            << "escape" << true << int(mrCancel) << int(mrCancel) << true;
    }

    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, edit);
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(bool, stillOpen);
        const TProfileRecord before = CurrentRecord(F(OutputFormatKind::AVI));
        TfrmAVIProfile editor;
        editor.ShowSettings(before);
        if (answer)
            DialogHook::QueueAnswer(answer);
        bool open = false;
        DialogHook::QueueFormDriver([&](QDialog& d) {
            if (edit)
                Child<QLineEdit>(d, "EditDescription")->setText("edited");
            if (how == "escape")
                QTest::keyClick(&d, Qt::Key_Escape);
            else if (how == "return")
                QTest::keyClick(Child<QLineEdit>(d, "EditDescription"), Qt::Key_Return);
            else if (how == "closebox")
                d.close();
            else
                Click(d, qPrintable(how));
            open = d.isVisible();
        });
        QCOMPARE(editor.ShowModal(), result);
        QCOMPARE(open, stillOpen);
        QCOMPARE(DialogHook::PendingAnswers(), 0);
        QCOMPARE(DialogHook::UnansweredCount(), 0);
        if (answer) {
            QCOMPARE(DialogHook::Shown().size(), size_t(1));
            QCOMPARE(DialogHook::Last()->title, std::string("Unsaved changes"));
            QCOMPARE(DialogHook::Last()->captions, (std::vector<std::string>{"Save", "Discard", "Cancel"}));
        } else {
            QVERIFY(DialogHook::Shown().empty());
        }
        QVERIFY(SameRecord(CurrentRecord(F(OutputFormatKind::AVI)), before));
    }

    // A frame rate left on Auto is always written as 25 fps: the shipped
    // language files say so; the built-in text stays "Auto".
    void autoFrameRateNamesItsRate()
    {
        QCOMPARE(Q(IDS_PROFILE_RADIOBUTTON_Auto), QStringLiteral("Auto"));
        TfrmAVIProfile editor;
        QCOMPARE(Child<QRadioButton>(editor, "RadioButtonKeepFrameRateDivX")->text(),
                 Q(IDS_PROFILE_RADIOBUTTON_AutoFrameRate));
        QCOMPARE(Child<QRadioButton>(editor, "RadioButtonAutoSetAspectDivX")->text(), QStringLiteral("Auto"));
        const std::pair<const char*, const char*> files[] = {{"English.ini", "Auto (25 fps)"},
                                                             {"German.ini", "Automatisch (25 Bilder/s)"}};
        for (const auto& [file, label] : files) {
            const std::string path = qvtest::SourceDir() + "/data/langs/" + file;
            QCOMPARE(Q(TIniFile(path).ReadString("DazadUVI_Convert", "IDS_PROFILE_RADIOBUTTON_AutoFrameRate", "")),
                     QString::fromUtf8(label));
            // The other Autos (aspect, target format) keep their text.
            QVERIFY(!Q(TIniFile(path).ReadString("DazadUVI_Convert", "IDS_PROFILE_RADIOBUTTON_Auto", "")).contains("25"));
        }
    }

    // A description too long for any width shows from its start, in the full
    // width of the editor, which still fits the screen.
    void descriptionShowsFromItsStartInTheFullWidth_data()
    {
        QTest::addColumn<int>("format");
        for (const TEditorDescription& d : EditorDescriptions())
            QTest::newRow(d.ClassName.c_str()) << d.Format;
    }

    void descriptionShowsFromItsStartInTheFullWidth()
    {
        QFETCH(int, format);
        auto editor = CreateProfileEditor(format);
        TProfileRecord r = DefaultRecord(format);
        SetField(r, "Description", std::string(200, 'x'));
        editor->ShowSettings(r);
        editor->show();
        auto* edit = Child<QLineEdit>(*editor, editor->Description().DescriptionControl.c_str());
        QCOMPARE(edit->cursorPosition(), 0);
        auto* tabs = editor->PageControl;
        QVERIFY2(edit->geometry().right() >= tabs->geometry().right() - 1,
                 qPrintable(QString("%1 < %2").arg(edit->geometry().right()).arg(tabs->geometry().right())));
        QVERIFY(editor->frameGeometry().width() <= 1024);
    }

    // The accelerators of the buttons close the window from any tab.
    void accelerators_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        for (int tab = 0; tab < 3; ++tab) {
            QTest::addRow("Save from tab %d", tab) << tab << int(Qt::Key_S) << int(mrOk);
            QTest::addRow("Close from tab %d", tab) << tab << int(Qt::Key_C) << int(mrCancel);
        }
    }

    void accelerators()
    {
        QFETCH(int, tab);
        QFETCH(int, key);
        QFETCH(int, result);
        TfrmAVIProfile editor;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::AVI));
        SetField(r, "EnableTimeControl", true);
        SetField(r, "VideoBitRateUsePresertDivX", false);
        editor.ShowSettings(r);
        DialogHook::QueueFormDriver([&](QDialog& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            editor.PageControl->setCurrentIndex(tab);
            QTest::keyClick(&d, Qt::Key(key), Qt::AltModifier);
            QTRY_VERIFY(!d.isVisible()); // a button's accelerator clicks it after a short delay
        });
        QCOMPARE(editor.ShowModal(), result);
    }

    // Values without a control state: a list index past the list collects as
    // 255; an unknown radio value, an H.263 size of no radio and a bitrate of
    // no trackbar position stay.
    void valuesWithoutControlState()
    {
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::AVI));
        SetField(r, "VideoCodec", uint8_t { 11 });
        SetField(r, "AudioSampleRateMp3", uint8_t { 200 });
        SetField(r, "VideoAspectDivX", uint8_t { 7 });
        SetField(r, "VideoAspectH263", uint8_t { 5 });
        SetField(r, "VideoWidthH263", int32_t { 200 });
        SetField(r, "VideoHeightH263", int32_t { 150 });
        SetField(r, "VideoBitRatePresetXviD", int32_t { 1000 }); // no entry: position 2, the value kept
        TfrmAVIProfile editor;
        editor.ShowSettings(r);
        editor.show();
        QCOMPARE(Child<QComboBox>(editor, "ComboBoxVideoCodec")->currentIndex(), -1);
        QVERIFY(!Child<QRadioButton>(editor, "RadioButtonAutoSetAspectDivX")->isChecked());
        QVERIFY(!Child<QRadioButton>(editor, "RadioButtonVideoSize176_144H263")->isChecked());
        QCOMPARE(Child<QSlider>(editor, "TrackBarVideoBitrateXviD")->value(), 2);
        QCOMPARE(Child<QLabel>(editor, "LabelBitrateXviD")->text(), QStringLiteral("1000"));
        const TProfileRecord c = editor.CollectSettings();
        QCOMPARE(GetIndex(c, "VideoCodec"), uint8_t { 255 });
        QCOMPARE(GetIndex(c, "AudioSampleRateMp3"), uint8_t { 255 });
        QCOMPARE(GetIndex(c, "VideoAspectDivX"), uint8_t { 7 });
        QCOMPARE(GetIndex(c, "VideoAspectH263"), uint8_t { 5 });
        QCOMPARE(GetNumber(c, "VideoWidthH263"), 200);
        QCOMPARE(GetNumber(c, "VideoHeightH263"), 150);
        QCOMPARE(GetNumber(c, "VideoBitRatePresetXviD"), 1000);
        // No video page is shown for a codec past the list.
        QVERIFY(!editor.PageControlVCodec->isVisible());
    }

    // Opening a profile and saving it without a change keeps every key: the
    // shipped profiles of both languages, whose bitrates every trackbar
    // shows, and old copies holding bitrates that no trackbar position
    // stands for, which are kept (and shown in the value label), or a size
    // beyond the size edits' range.
    void noOpSaveKeepsEveryKey_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<bool>("shipped");
        for (const char* tree : { "English_Profile", "German_Profile" }) {
            const auto files = ShippedProfileFiles(tree);
            QVERIFY2(files.size() >= 16, tree);
            for (const auto& [format, file] : files)
                QTest::addRow("%s/%s", tree, std::filesystem::path(file).filename().c_str())
                    << format << Q(file) << QStringList() << true;
        }
        const int mpeg = F(OutputFormatKind::MPEG), tgp = F(OutputFormatKind::TGP);
        QTest::newRow("old DVD PAL copy: 6000 kbps under the DVD preset key")
            << mpeg << QString()
            << QStringList { "UsePresetFormats=1", "PresetType=2", "TargetFormat=2", "DVDVideoBitRateUsePresert=1",
                   "DVDVideoBitRatePreset=6000", "DVDAudioBitRatePreset=256" }
            << false;
        QTest::newRow("old MPEG copy: DVD audio 384 kbps") << mpeg << QString() << QStringList() << false;
        QTest::newRow("old 3GP Default copy: 144 kbps H.263, 96 kbps XviD")
            << tgp << QString() << QStringList { "VideoBitRateUsePresertH263=1", "VideoBitRatePresetH263=144" }
            << false;
        QTest::newRow("3GP DivX 9600 kbps: an entry beyond the 10 positions")
            << tgp << QString() << QStringList { "VideoBitRatePresetDivX=9600" } << false;
        QTest::newRow("AC3 32 kbps at 48000 Hz: below the usable range")
            << F(OutputFormatKind::AC3) << QString() << QStringList { "AudioBitRatePresetAC3=32" } << false;
        QTest::newRow("MP3 100 kbps: no entry")
            << F(OutputFormatKind::MP3) << QString() << QStringList { "AudioBitRatePresetMp3=100" } << false;
        QTest::newRow("AVI DivX 1920x1080: wider than the size edits")
            << F(OutputFormatKind::AVI) << QString()
            << QStringList { "VideoSizeUseSourceDivX=0", "VideoWidthDivX=1920", "VideoHeightDivX=1080" } << false;
    }

    void noOpSaveKeepsEveryKey()
    {
        QFETCH(int, format);
        QFETCH(QString, file);
        QFETCH(QStringList, settings);
        QFETCH(bool, shipped);
        TProfileRecord stored = file.isEmpty() ? DefaultRecord(format) : LoadRecord(format, S(file));
        Apply(stored, settings);
        auto editor = CreateProfileEditor(format);
        editor->ShowSettings(stored);
        editor->show();
        const TProfileRecord saved = editor->CollectSettings();
        for (const std::string& key : RecordKeys(format))
            QVERIFY2(GetField(saved, key) == GetField(stored, key),
                (key + ": stored " + ValueText(GetField(stored, key)) + ", saved " + ValueText(GetField(saved, key)))
                    .c_str());
        // A shipped description shows whole, and the editor still fits the screen.
        auto* description = Child<QLineEdit>(*editor, editor->Description().DescriptionControl.c_str());
        QVERIFY2(!shipped || description->fontMetrics().horizontalAdvance(description->text()) <= description->width() - 8,
                 qPrintable(description->text()));
        QVERIFY(editor->frameGeometry().width() <= 1024);
        // The shipped bitrates are all shown by their trackbars.
        for (const TBitrateBar& bar : BitrateBars(editor->Description())) {
            const int32_t value = GetNumber(stored, bar.Key);
            const int32_t shown = PresetValue(*bar.Table, Child<QSlider>(*editor, bar.Slider.c_str())->value());
            QVERIFY2(!shipped || shown == value,
                (bar.Key + "=" + std::to_string(value) + " has no trackbar position").c_str());
        }
    }

    // A trackbar that moves (by the user, or by a range rule after another
    // control changed) saves the entry of its position.
    void movedTrackbarSavesItsEntry_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("steps"); // "Slider:key" presses a key on a trackbar, "List=index" picks an entry
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("saved");
        QTest::addColumn<QString>("label");
        const int mpeg = F(OutputFormatKind::MPEG), ac3 = F(OutputFormatKind::AC3);
        QTest::newRow("DVD 6000 kbps moved one step down")
            << mpeg << QStringList() << QStringList { "TrackBarVideoBitrateDVD:Left" } << "DVDVideoBitRatePreset"
            << 2496 << "LabelBitrateDVD";
        QTest::newRow("DVD 6000 kbps moved down and back")
            << mpeg << QStringList() << QStringList { "TrackBarVideoBitrateDVD:Left", "TrackBarVideoBitrateDVD:Right" }
            << "DVDVideoBitRatePreset" << 4600 << "LabelBitrateDVD";
        QTest::newRow("3GP H.263 144 kbps moved one step up")
            << F(OutputFormatKind::TGP) << QStringList() << QStringList { "TrackBarVideoBitrateH263:Right" }
            << "VideoBitRatePresetH263" << 256 << "LabelBitrateH263";
        QTest::newRow("AC3 40 kbps, 5.1 chosen: the range moves the trackbar")
            << ac3 << QStringList { "AudioBitRatePresetAC3=40" } << QStringList { "ComboBoxAudioChannelsAC3=2" }
            << "AudioBitRatePresetAC3" << 112 << "LabelAudioBitrateAC3";
        QTest::newRow("AC3 40 kbps, 44100 Hz chosen: the trackbar stays, so does the value")
            << ac3 << QStringList { "AudioBitRatePresetAC3=40" } << QStringList { "ComboBoxSampleRateAC3=2" }
            << "AudioBitRatePresetAC3" << 40 << "LabelAudioBitrateAC3";
    }

    void movedTrackbarSavesItsEntry()
    {
        QFETCH(int, format);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, steps);
        QFETCH(QString, key);
        QFETCH(int, saved);
        QFETCH(QString, label);
        TProfileRecord r = DefaultRecord(format);
        Apply(r, settings);
        auto editor = CreateProfileEditor(format);
        editor->ShowSettings(r);
        editor->show();
        for (const QString& step : steps) {
            if (step.contains('=')) {
                Child<QComboBox>(*editor, qPrintable(step.section('=', 0, 0)))
                    ->setCurrentIndex(step.section('=', 1).toInt());
                continue;
            }
            auto* bar = Child<QSlider>(*editor, qPrintable(step.section(':', 0, 0)));
            QTest::keyClick(bar, step.section(':', 1) == "Left" ? Qt::Key_Left : Qt::Key_Right);
        }
        QCOMPARE(GetNumber(editor->CollectSettings(), S(key)), saved);
        QCOMPARE(Child<QLabel>(*editor, qPrintable(label))->text(), QString::number(saved));
    }

    void pagesFollowTheLists()
    {
        TfrmAVIProfile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::AVI)));
        editor.show();
        Child<QComboBox>(editor, "ComboBoxVideoCodec")->setCurrentIndex(4);
        QCOMPARE(editor.PageControlVCodec->currentWidget()->objectName(), QStringLiteral("TabSheetH263"));
        Child<QComboBox>(editor, "ComboBoxAudioCodec")->setCurrentIndex(4);
        QCOMPARE(editor.PageControlACodec->currentWidget()->objectName(), QStringLiteral("TabSheetAC3"));
        Child<QCheckBox>(editor, "CheckBoxDisableAudio")->setChecked(true);
        QVERIFY(!editor.PageControl->isTabVisible(editor.PageControl->indexOf(editor.TabAudio)));
        QVERIFY(!Child<QComboBox>(editor, "ComboBoxAudioCodec")->isEnabled());
    }

    // A hidden tab cannot be reached from the tab bar's arrow keys, from
    // Ctrl+Tab or from Ctrl+Shift+Tab.
    void hiddenTabsCannotBeReached_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("hidden");
        QTest::newRow("MPEG without presets: DVD") << F(OutputFormatKind::MPEG) << "TabSheetDVD";
        QTest::newRow("AVI without audio: Audio") << F(OutputFormatKind::AVI) << "TabSheetAudio";
    }

    void hiddenTabsCannotBeReached()
    {
        QFETCH(int, format);
        QFETCH(QString, hidden);
        auto editor = CreateProfileEditor(format);
        TProfileRecord r = DefaultRecord(format);
        SetField(r, "AudioDisableAudio", hidden == "TabSheetAudio");
        if (format == F(OutputFormatKind::MPEG))
            SetField(r, "UsePresetFormats", false);
        editor->ShowSettings(r);
        editor->show();
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        QTabWidget* tabs = editor->PageControl;
        QTabBar* bar = tabs->tabBar();
        QVERIFY(!tabs->isTabVisible(tabs->indexOf(Child<QWidget>(*editor, qPrintable(hidden)))));
        bar->setFocus();
        QStringList seen;
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            { Qt::Key_Right, Qt::NoModifier }, { Qt::Key_Left, Qt::NoModifier }, { Qt::Key_End, Qt::NoModifier },
            { Qt::Key_Tab, Qt::ControlModifier }, { Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier } };
        for (const auto& [key, modifiers] : keys)
            for (int i = 0; i < 5; ++i) {
                QTest::keyClick(bar, key, modifiers);
                seen << tabs->currentWidget()->objectName();
            }
        QVERIFY2(!seen.contains(hidden), qPrintable(seen.join(' ')));
        QVERIFY(seen.contains(editor->TabGeneral->objectName()));
    }

    // Ctrl+Tab and Ctrl+Shift+Tab turn the tabs also from the description
    // and the buttons, outside the tab widget.
    void ctrlTabTurnsTabsFromAnywhere_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("description") << "EditDescription";
        QTest::newRow("Save") << "btnSave";
        QTest::newRow("a list on the General tab") << "ComboBoxVideoCodec";
    }

    void ctrlTabTurnsTabsFromAnywhere()
    {
        QFETCH(QString, from);
        TfrmAVIProfile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::AVI)));
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QWidget* focus = Child<QWidget>(editor, qPrintable(from));
        focus->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), focus);
        QCOMPARE(editor.PageControl->currentWidget(), editor.TabGeneral);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(editor.PageControl->currentWidget(), editor.TabVideo);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor.PageControl->currentWidget(), editor.TabGeneral);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor.PageControl->currentWidget(), editor.TabAudio); // round to the last
        // Alt with the letter of a disabled control (the start time without
        // time control) types nothing into the description.
        auto* description = Child<QLineEdit>(editor, "EditDescription");
        const QString before = description->text();
        const QChar start = MnemonicOf(Child<QLabel>(editor, "LabelStartTime")->text());
        QVERIFY(!start.isNull() && !Child<QLineEdit>(editor, "EditStartTime")->isEnabled());
        description->setFocus();
        QTRY_VERIFY(description->hasFocus());
        QTest::keyClicks(description, QString(start), Qt::AltModifier);
        QCOMPARE(description->text(), before);
        QVERIFY(description->hasFocus());
    }

    // No mnemonic letter serves two controls that can be seen together: every
    // tab of every editor with each page of each of its stacks in front, in
    // English and in German; the settings window likewise.
    void mnemonicsAreUnique_data()
    {
        QTest::addColumn<int>("format"); // -1: the settings window
        QTest::addColumn<QString>("language");
        for (const char* language : { "English", "German" }) {
            for (const TEditorDescription& d : EditorDescriptions())
                QTest::addRow("%s %s", d.ClassName.c_str(), language) << d.Format << language;
            QTest::addRow("settings %s", language) << -1 << language;
        }
    }

    void mnemonicsAreUnique()
    {
        QFETCH(int, format);
        QFETCH(QString, language);
        const char* app = std::getenv("QV_APP_DIR");
        const std::string saved = LanguageFilePath;
        LanguageFilePath = std::string(app ? app : "") + "/langs/" + S(language) + ".ini";
        const bool loaded = LoadLanguage();
        LanguageFilePath = saved;
        std::unique_ptr<QDialog> window;
        if (format < 0) {
            window = std::make_unique<TfrmSettings>();
        } else {
            auto editor = CreateProfileEditor(format);
            editor->ShowSettings(DefaultRecord(format));
            window = std::move(editor);
        }
        ResetCatalogue();
        QVERIFY(loaded);
        window->show();
        QStringList clashes;
        auto check = [&](const QString& where) {
            for (const QString& c : MnemonicClashes(*window))
                clashes << where + ": " + c;
        };
        // Each tab in front, and on it each page of each stack in turn; all
        // tab titles count, also those hidden in the present state.
        auto* tabs = window->findChild<QTabWidget*>();
        for (int t = 0; t < tabs->count(); ++t)
            tabs->setTabVisible(t, true);
        for (int t = 0; t < tabs->count(); ++t) {
            tabs->setCurrentIndex(t);
            check(tabs->tabText(t));
            for (QStackedWidget* stack : tabs->widget(t)->findChildren<QStackedWidget*>()) {
                const int front = stack->currentIndex();
                for (int p = 0; p < stack->count(); ++p) {
                    stack->setCurrentIndex(p);
                    check(tabs->tabText(t) + "/" + stack->widget(p)->objectName());
                }
                stack->setCurrentIndex(front);
            }
        }
        clashes.removeDuplicates();
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join("\n")));
        // The buttons keep their letters.
        if (format >= 0 && language == "English") {
            QCOMPARE(Child<QPushButton>(*window, "btnSave")->text(), QStringLiteral("&Save"));
            QCOMPARE(Child<QPushButton>(*window, "btnClose")->text(), QStringLiteral("&Close"));
        }
    }

    void enabledStates()
    {
        TfrmAVIProfile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::AVI)));
        editor.show();
        QVERIFY(!Child<QLineEdit>(editor, "EditStartTime")->isEnabled());
        Child<QCheckBox>(editor, "CheckBoxEnableTimeControl")->setChecked(true);
        QVERIFY(Child<QLineEdit>(editor, "EditStartTime")->isEnabled());
        QVERIFY(!Child<QPushButton>(editor, "ButtonVideoBitrateConfigureDivX")->isEnabled());
        Child<QRadioButton>(editor, "RadioButtonVideoSpecifyDivX")->setChecked(true);
        QVERIFY(Child<QPushButton>(editor, "ButtonVideoBitrateConfigureDivX")->isEnabled());
        QVERIFY(!Child<QSlider>(editor, "TrackBarVideoBitrateDivX")->isEnabled());
        QVERIFY(!Child<QSpinBox>(editor, "EditVideoWidthDivX")->isEnabled());
        Child<QRadioButton>(editor, "RadioButtonChangVideoSizeDivX")->setChecked(true);
        QVERIFY(Child<QSpinBox>(editor, "EditVideoWidthDivX")->isEnabled());
        QVERIFY(!Child<QComboBox>(editor, "ComboBoxVideoFrameRateDivX")->isEnabled());
        Child<QRadioButton>(editor, "RadioButtonChangeFrameRateDivX")->setChecked(true);
        QVERIFY(Child<QComboBox>(editor, "ComboBoxVideoFrameRateDivX")->isEnabled());
        QVERIFY(Child<QSlider>(editor, "TrackBarAudioBitrateMp3")->isEnabled());
        Child<QCheckBox>(editor, "CheckBoxAutoSetAudioBitrateMp3")->setChecked(true);
        QVERIFY(!Child<QSlider>(editor, "TrackBarAudioBitrateMp3")->isEnabled());
    }

    void trackbarLabelAndConfigure()
    {
        TfrmAVIProfile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::AVI)));
        editor.show();
        auto* bar = Child<QSlider>(editor, "TrackBarVideoBitrateDivX");
        QCOMPARE(bar->value(), 6); // 1080
        QCOMPARE(Child<QLabel>(editor, "LabelBitrateDivX")->text(), QStringLiteral("1080"));
        bar->setValue(13);
        QCOMPARE(Child<QLabel>(editor, "LabelBitrateDivX")->text(), QStringLiteral("9600"));
        Child<QRadioButton>(editor, "RadioButtonVideoSpecifyDivX")->setChecked(true);
        QString message;
        DialogHook::QueueFormDriver([&](QDialog& d) {
            message = Child<QLabel>(d, "lblDisplayMessage")->text();
            Child<QLineEdit>(d, "txtValue")->setText("9601"); // above the table
            Click(d, "btnOK");
            Child<QLineEdit>(d, "txtValue")->setText("64");
            Click(d, "btnOK");
        });
        DialogHook::QueueAnswer(mrOk); // the range message
        Click(editor, "ButtonVideoBitrateConfigureDivX");
        QCOMPARE(message, QStringLiteral("Please enter video bitrate"));
        QCOMPARE(Child<QLabel>(editor, "LabelBitrateSpecifyDivX")->text(), QStringLiteral("64"));
        QVERIFY(DialogHook::Last() && DialogHook::Last()->text.find("between 64 and 9600") != std::string::npos);
        // Cancel keeps the value.
        DialogHook::QueueFormDriver([&](QDialog& d) { Click(d, "btnCancel"); });
        Click(editor, "ButtonVideoBitrateConfigureDivX");
        QCOMPARE(Child<QLabel>(editor, "LabelBitrateSpecifyDivX")->text(), QStringLiteral("64"));
        QCOMPARE(GetNumber(editor.CollectSettings(), "VideoBitRateSpecifyDivX"), 64);
    }

    void sizePresets()
    {
        TfrmAVIProfile editor;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::AVI));
        SetField(r, "VideoSizeUseSourceDivX", false);
        editor.ShowSettings(r);
        editor.show();
        auto* list = Child<QComboBox>(editor, "ComboBoxVideoSizeDivX");
        auto* w = Child<QSpinBox>(editor, "EditVideoWidthDivX");
        auto* h = Child<QSpinBox>(editor, "EditVideoHeightDivX");
        QCOMPARE(list->currentText(), QStringLiteral("640x480"));
        list->setCurrentIndex(12);
        emit list->activated(12);
        QCOMPARE(w->value(), 1280);
        QCOMPARE(h->value(), 720);
        w->setValue(320);
        h->setValue(240);
        QCOMPARE(list->currentText(), QStringLiteral("320x240"));
        // An odd width becomes even when the edit is left; the list shows "...".
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        editor.PageControl->setCurrentWidget(editor.TabVideo);
        w->setFocus();
        w->setValue(721);
        QCOMPARE(list->currentText(), QStringLiteral("..."));
        h->setFocus();
        QCOMPARE(w->value(), 722);
        QCOMPARE(w->minimum(), 2);
        QCOMPARE(w->maximum(), 1600);
        // MPEG texts carry blanks and captions: "160 x 320" gives 160 and 320.
        TfrmMPEGProfile mpeg;
        TProfileRecord m = DefaultRecord(F(OutputFormatKind::MPEG));
        mpeg.ShowSettings(m);
        auto* mlist = Child<QComboBox>(mpeg, "ComboBoxVideoSizeMPEG2");
        mlist->setCurrentIndex(3);
        emit mlist->activated(3);
        QCOMPARE(Child<QSpinBox>(mpeg, "EditVideoWidthMPEG2")->value(), 160);
        QCOMPARE(Child<QSpinBox>(mpeg, "EditVideoHeightMPEG2")->value(), 320);
    }

    void timeEdits_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("end");
        // Shown: start 0:00:10.000, duration 0:00:20.000, so the end is 0:00:30.000.
        QTest::newRow("start after end") << "EditStartTime"
                                         << "0:01:00.000"
                                         << "0:01:00.000"
                                         << "0:00:00.000"
                                         << "0:01:00.000";
        QTest::newRow("duration") << "EditDuration"
                                  << "0:01:00.000"
                                  << "0:00:10.000"
                                  << "0:01:00.000"
                                  << "0:01:10.000";
        QTest::newRow("end before start") << "EditEndTime"
                                          << "0:00:05.000"
                                          << "0:00:10.000"
                                          << "0:00:20.000"
                                          << "0:00:30.000";
        QTest::newRow("unreadable start") << "EditStartTime"
                                          << "abc"
                                          << "0:00:10.000"
                                          << "0:00:20.000"
                                          << "0:00:30.000";
        QTest::newRow("beyond 200 hours") << "EditDuration"
                                          << "200:00:00.001"
                                          << "0:00:10.000"
                                          << "0:00:20.000"
                                          << "0:00:30.000";
    }

    void timeEdits()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        TfrmAVIProfile editor;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::AVI));
        SetField(r, "EnableTimeControl", true);
        SetField(r, "StartTime", std::string("0:00:10.000"));
        SetField(r, "Duration", std::string("0:00:20.000"));
        editor.ShowSettings(r);
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QCOMPARE(Child<QLineEdit>(editor, "EditEndTime")->text(), QStringLiteral("0:00:30.000"));
        auto* e = Child<QLineEdit>(editor, qPrintable(edit));
        e->setFocus();
        e->setText(typed);
        // Save moves the focus first, so the typed text is checked before closing.
        Click(editor, "btnSave");
        QTEST(Child<QLineEdit>(editor, "EditStartTime")->text(), "start");
        QTEST(Child<QLineEdit>(editor, "EditDuration")->text(), "duration");
        QTEST(Child<QLineEdit>(editor, "EditEndTime")->text(), "end");
        QCOMPARE(editor.result(), int(mrOk));
    }

    void audioRanges()
    {
        TfrmAc3Profile ac3;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::AC3));
        SetField(r, "AudioBitRatePresetAC3", int32_t { 56 }); // position 3
        ac3.ShowSettings(r);
        ac3.show();
        auto* bar = Child<QSlider>(ac3, "TrackBarAudioBitrateAC3");
        QCOMPARE(bar->value(), 3);
        QCOMPARE(bar->minimum(), 2); // 48000: 2 to 14
        Child<QComboBox>(ac3, "ComboBoxAudioChannelsAC3")->setCurrentIndex(2);
        QCOMPARE(bar->minimum(), 6);
        QCOMPARE(bar->value(), 6);
        QCOMPARE(Child<QLabel>(ac3, "LabelAudioBitrateAC3")->text(), QStringLiteral("112"));
        QVERIFY(!Child<QGroupBox>(ac3, "GroupBoxSampleRateAC3_6Channels")->isHidden());
        QVERIFY(Child<QGroupBox>(ac3, "GroupBoxSampleRateAC3")->isHidden());
        Child<QComboBox>(ac3, "ComboBoxAudioChannelsAC3")->setCurrentIndex(1);
        QVERIFY(!Child<QGroupBox>(ac3, "GroupBoxSampleRateAC3")->isHidden());
        Child<QComboBox>(ac3, "ComboBoxSampleRateAC3")->setCurrentIndex(0);
        QCOMPARE(bar->minimum(), 1);
        QCOMPARE(bar->maximum(), 12);

        TfrmAacProfile aac;
        aac.ShowSettings(DefaultRecord(F(OutputFormatKind::AAC)));
        aac.show();
        QCOMPARE(Child<QLineEdit>(aac, "txtDescription")->text(), Q(IDS_NO_DESCRIPTION));
        Child<QComboBox>(aac, "ComboBoxSampleRateAACMP4")->setCurrentIndex(0); // 11025
        QCOMPARE(Child<QSlider>(aac, "TrackBarAudioBitrateAACMP4")->maximum(), 5);
        QCOMPARE(Child<QSlider>(aac, "TrackBarAudioBitrateAACMP4")->value(), 5);
    }

    void mp4PspPage()
    {
        TfrmMp4Profile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::MP4)));
        editor.show();
        QCOMPARE(editor.PageControlACodec->currentWidget()->objectName(), QStringLiteral("TabSheetAACMP4"));
        Child<QComboBox>(editor, "ComboBoxMp4Format")->setCurrentIndex(1);
        QCOMPARE(editor.PageControlACodec->currentWidget()->objectName(), QStringLiteral("TabSheetAACPsp"));
        QCOMPARE(Child<QComboBox>(editor, "ComboBoxSampleRateAACPsp")->count(), 1);
        QCOMPARE(
            Child<QComboBox>(editor, "ComboBoxVideoSizeH264")->itemText(4), QStringLiteral("320x240 (Apple iPod)"));
    }

    void tgpPairsAndNotices()
    {
        TfrmTGPProfile editor;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::TGP));
        SetField(r, "VideoCodecNokia", uint8_t { 1 }); // a stored MPEG-4 shows no notice
        editor.ShowSettings(r);
        editor.show();
        QCOMPARE(DialogHook::Shown().size(), size_t { 0 });
        QCOMPARE(editor.PageControlVCodec->currentWidget()->objectName(), QStringLiteral("TabSheetDivX"));
        auto* nokia = Child<QComboBox>(editor, "ComboBoxVideoCodecNokia");
        nokia->setCurrentIndex(0);
        QCOMPARE(editor.PageControlVCodec->currentWidget()->objectName(), QStringLiteral("TabSheetH263"));
        // Picking MPEG-4, AMR wide-band or AAC in the Nokia lists shows its notice.
        DialogHook::QueueAnswer(mrOk);
        nokia->setCurrentIndex(1);
        emit nokia->activated(1);
        QVERIFY(DialogHook::Last());
        QCOMPARE(DialogHook::Last()->title, IDS_PROFILE_MESSAGEBOX_MPEG4Select);
        QCOMPARE(editor.PageControlVCodec->currentWidget()->objectName(), QStringLiteral("TabSheetDivX"));
        auto* audio = Child<QComboBox>(editor, "ComboBoxAudioCodeNokia");
        DialogHook::QueueAnswer(mrOk);
        audio->setCurrentIndex(2);
        emit audio->activated(2);
        QCOMPARE(DialogHook::Last()->title, IDS_PROFILE_AACSELECTED_TITLE);
        QCOMPARE(editor.PageControlACodec->currentWidget()->objectName(), QStringLiteral("TabSheetAACMP4"));
        // 3gp2: the Sony pair in front, its video page shown; the Nokia fields are still collected.
        Child<QComboBox>(editor, "ComboBoxVideoCodecSony")->setCurrentIndex(1);
        Child<QComboBox>(editor, "ComboBox3GPFormat")->setCurrentIndex(2);
        QVERIFY(Child<QComboBox>(editor, "ComboBoxVideoCodecSony")->isVisible());
        QVERIFY(!nokia->isVisible());
        QCOMPARE(editor.PageControlVCodec->currentWidget()->objectName(), QStringLiteral("TabSheetXviD"));
        const TProfileRecord c = editor.CollectSettings();
        QCOMPARE(GetIndex(c, "VideoCodecNokia"), uint8_t { 1 });
        QCOMPARE(GetIndex(c, "AudioCodecNokia"), uint8_t { 2 });
        QCOMPARE(GetIndex(c, "TGPFormat"), uint8_t { 2 });
        QCOMPARE(Child<QSlider>(editor, "TrackBarVideoBitrateDivX")->maximum(), 10);
    }

    void mpegPresets()
    {
        TfrmMPEGProfile editor;
        editor.ShowSettings(DefaultRecord(F(OutputFormatKind::MPEG)));
        editor.show();
        QTabWidget* tabs = editor.PageControl;
        auto visible = [&](QWidget* tab) { return tabs->isTabVisible(tabs->indexOf(tab)); };
        QVERIFY(visible(editor.TabVideo) && visible(editor.TabAudio) && !visible(editor.TabDVD));
        QVERIFY(!Child<QGroupBox>(editor, "RadioGroupPresetType")->isEnabled());
        Child<QRadioButton>(editor, "RadioButtonPresetType1")->setChecked(true); // SVCD
        Child<QCheckBox>(editor, "CheckBoxUsePressetFormat")->setChecked(true);
        QVERIFY(!visible(editor.TabVideo) && !visible(editor.TabAudio) && !visible(editor.TabDVD));
        QVERIFY(Child<QGroupBox>(editor, "RadioGroupPresetType")->isEnabled());
        QVERIFY(!Child<QGroupBox>(editor, "GroupBoxVideoCodec")->isVisible());
        Child<QRadioButton>(editor, "RadioButtonPresetType2")->setChecked(true); // DVD
        QVERIFY(visible(editor.TabDVD));
        // The MPEG-1 audio list is in front with MPEG-1; its entries show pages 2 and 3.
        Child<QCheckBox>(editor, "CheckBoxUsePressetFormat")->setChecked(false);
        Child<QComboBox>(editor, "ComboBoxVideoCodec")->setCurrentIndex(0);
        QVERIFY(Child<QComboBox>(editor, "ComboBoxAudioCodecMPEG1")->isVisible());
        Child<QComboBox>(editor, "ComboBoxAudioCodecMPEG1")->setCurrentIndex(1);
        QCOMPARE(editor.PageControlACodec->currentWidget()->objectName(), QStringLiteral("TabSheetMp3"));
        // DVD trackbars: both start from position 6; the video one offers 11.
        QCOMPARE(Child<QSlider>(editor, "TrackBarVideoBitrateDVD")->maximum(), 11);
        QCOMPARE(Child<QSlider>(editor, "TrackBarVideoBitrateDVD")->value(), 11); // 6000 is beyond reach
        QCOMPARE(Child<QSlider>(editor, "TrackBarAudioBitrateDVD")->value(), 6); // 384 is no entry
        QVERIFY(!Child<QComboBox>(editor, "ComboBoxAspectDVD")->isEnabled());
        Child<QRadioButton>(editor, "RadioButtonChangeAspectDVD")->setChecked(true);
        QVERIFY(Child<QComboBox>(editor, "ComboBoxAspectDVD")->isEnabled());
    }

    void listEntries()
    {
        TfrmVobProfile vob;
        QCOMPARE(Child<QComboBox>(vob, "ComboBoxVideoFrameRateMPEG2")->itemText(0), QStringLiteral("19.98"));
        TfrmWavProfile wav;
        TProfileRecord r = DefaultRecord(F(OutputFormatKind::WAV));
        wav.ShowSettings(r);
        Child<QComboBox>(wav, "ComboBoxSampleRatePcm16le")->setCurrentIndex(6);
        QCOMPARE(Child<QComboBox>(wav, "ComboBoxSampleRatePcm16le")->currentText(), QStringLiteral("44100"));
        QCOMPARE(GetIndex(wav.CollectSettings(), "AudioSampleRatePcm16le"), uint8_t { 6 });
        TfrmRMProfile rm;
        QCOMPARE(Child<QComboBox>(rm, "ComboBoxVideoSizeRm10")->count(), 13);
    }

    // A switched language reaches the captions of an editor created afterwards.
    void captionsFromTheCatalogue()
    {
        const std::string saved = IDS_PROFILE_CODEC_XviD;
        const std::string savedName = IDS_PROFILE_LABEL_AVI;
        IDS_PROFILE_CODEC_XviD = "XviD (übersetzt)";
        IDS_PROFILE_LABEL_AVI = "AVI-Datei";
        TfrmAVIProfile editor;
        IDS_PROFILE_CODEC_XviD = saved;
        IDS_PROFILE_LABEL_AVI = savedName;
        QCOMPARE(Child<QComboBox>(editor, "ComboBoxVideoCodec")->itemText(1), QStringLiteral("XviD (übersetzt)"));
        QCOMPARE(editor.windowTitle(), QStringLiteral("AVI-Datei Profile Editor"));
    }

    // Every editor fits a 1024x768 screen, also with captions a third longer.
    void fitsTheScreen_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("pseudo");
        for (const TEditorDescription& d : EditorDescriptions()) {
            QTest::newRow(d.ClassName.c_str()) << d.Format << false;
            QTest::newRow((d.ClassName + " longer captions").c_str()) << d.Format << true;
        }
    }

    void fitsTheScreen()
    {
        QFETCH(int, format);
        QFETCH(bool, pseudo);
        std::optional<TPseudoTranslation> longer;
        if (pseudo)
            longer.emplace();
        auto editor = CreateProfileEditor(format);
        editor->ShowSettings(DefaultRecord(format));
        editor->show();
        const QSize s = editor->frameGeometry().size();
        QVERIFY2(s.width() <= 1024 && s.height() <= 740, qPrintable(QString("%1x%2").arg(s.width()).arg(s.height())));
    }
};

// "--show-editor <format> [--pseudo] [--tab <n>] [--video <i>] [--audio <i>]"
// opens one editor on the screen instead of running the tests (for looking
// at the windows under a real display).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = args.indexOf("--show-editor");
    if (at >= 0 && at + 1 < args.size()) {
        auto value = [&](const char* name, int fallback) {
            const int i = args.indexOf(name);
            return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
        };
        std::optional<TPseudoTranslation> longer;
        if (args.contains("--pseudo"))
            longer.emplace();
        const int format = args[at + 1].toInt();
        auto editor = CreateProfileEditor(format);
        TProfileRecord r = DefaultRecord(format);
        const TEditorDescription& d = editor->Description();
        if (!d.VideoLists.empty())
            SetField(r, d.VideoLists[0].Key, static_cast<uint8_t>(value("--video", GetIndex(r, d.VideoLists[0].Key))));
        SetField(r, d.AudioLists[0].Key, static_cast<uint8_t>(value("--audio", GetIndex(r, d.AudioLists[0].Key))));
        if (args.contains("--preset"))
            SetField(r, "UsePresetFormats", true), SetField(r, "PresetType", uint8_t { 2 });
        editor->ShowSettings(r);
        editor->show();
        editor->PageControl->setCurrentIndex(value("--tab", 0));
        return app.exec();
    }
    ProfileEditorTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "profile_editor_test.moc"
