// How the main window lies on the desktop: its place, its one title bar, the
// format row with longer captions, "To Others" naming its format, the media
// panel with long names, the file list's scroll bars and the about window.

#include "main_fixture.h"

#include "ui/common/ModalForm.h"
#include "ui/common/QtText.h"
#include "ui/dialogs/AboutWnd.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Relative luminance of a colour (sRGB), 0 black to 1 white.
double Luminance(const QColor& c)
{
    auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const char* const MainButtons[] = {"btnAVI", "btnMP4", "btn3GP", "btnMPEG", "btnMOV", "btnWMV", "btnRM", "btnSWF"};

} // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainFixture> fx_;
    std::vector<QUrl> opened_;

private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        fx_ = std::make_unique<TMainFixture>();
        SetUrlOpener([this](const QUrl& u) {
            opened_.push_back(u);
            return true;
        });
    }

    void cleanupTestCase()
    {
        SetUrlOpener(nullptr);
        fx_.reset();
    }

    void init()
    {
        DialogHook::Clear();
        DialogHook::SetTestMode(true);
        opened_.clear();
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=0\n");
    }

    void opensCentredOnTheScreen()
    {
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        const QRect free = frm->screen()->availableGeometry();
        // The window with the frame the window manager gives it.
        const QPoint offset = frm->frameGeometry().center() - free.center();
        QVERIFY2(std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1,
                 qPrintable(QStringLiteral("off by %1,%2; window %3 on %4")
                                .arg(offset.x())
                                .arg(offset.y())
                                .arg(QDebug::toString(frm->frameGeometry()), QDebug::toString(free))));
    }

    void headerBandHasNoWindowButtons()
    {
        auto frm = fx_->NewWindow();
        auto* band = Child<QFrame>(frm.get(), "pnlHeader");
        QVERIFY(band);
        QStringList buttons;
        for (QAbstractButton* b : band->findChildren<QAbstractButton*>())
            buttons << b->objectName();
        // The help menu stays; minimise and close belong to the window manager's title bar.
        QCOMPARE(buttons, QStringList{"btnHelp"});
        QVERIFY(!(frm->windowFlags() & Qt::FramelessWindowHint));
        QCOMPARE(Child<QLabel>(frm.get(), "lblTitle")->text(), Q(ApplicationTitle));
    }

    void noHorizontalScrollBarWhenTheColumnsFit()
    {
        const std::string clip = fx_->MakeClip("scroll.avi");
        if (clip.empty())
            QSKIP("ffmpeg could not make a clip");
        std::vector<std::string> names;
        for (int i = 0; i < 40; ++i)
            names.push_back("Ein ziemlich langer Dateiname für die Liste, Nummer " + std::to_string(i) + ".avi");
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        auto* list = Child<QTreeWidget>(frm.get(), "lsvFileName");
        frm->AddFiles({clip});
        QCoreApplication::processEvents();
        // The columns' usual widths fill the list at the window's usual size.
        const auto columns = [list] {
            int sum = 0;
            for (int c = 0; c < list->columnCount(); ++c)
                sum += list->columnWidth(c);
            return sum;
        };
        QVERIFY2(!list->horizontalScrollBar()->isVisible(),
                 qPrintable(QStringLiteral("columns %1, viewport %2").arg(columns()).arg(list->viewport()->width())));
        // Enough rows for a vertical scroll bar: it takes its room from the last column.
        frm->AddFiles(fx_->CopyClip(clip, names));
        QTRY_VERIFY(list->verticalScrollBar()->isVisible());
        QTRY_VERIFY2(columns() <= list->viewport()->width() && !list->horizontalScrollBar()->isVisible(),
                     qPrintable(QStringLiteral("columns %1, viewport %2").arg(columns()).arg(list->viewport()->width())));
    }

    void toOthersNamesTheChosenFormat_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("an other format") << "actMP3" << "To MP3" << true;
        QTest::newRow("another other format") << "actVOB" << "To VOB" << true;
        QTest::newRow("a main format again") << "actMP4" << "To Others" << false;
    }

    void toOthersNamesTheChosenFormat()
    {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(bool, chosen);
        auto frm = fx_->NewWindow();
        auto* others = Child<QToolButton>(frm.get(), "btnOthers");
        QCOMPARE(others->text(), QString("To Others"));
        Act(frm.get(), "actWAV")->trigger();
        Act(frm.get(), action.toLatin1().constData())->trigger();
        QCOMPARE(others->text(), caption);
        QCOMPARE(others->property("chosen").toBool(), chosen);
        // It still opens the menu, and says what it is and its keys.
        QVERIFY(others->isEnabled());
        QCOMPARE(others->toolTip(), QString("To Others (Alt+9)"));
    }

    void storedOtherFormatIsNamedAtStart()
    {
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=15\n");
        auto frm = fx_->NewWindow();
        QCOMPARE(Child<QToolButton>(frm.get(), "btnOthers")->text(), QString("To WAV"));
        QVERIFY(Child<QToolButton>(frm.get(), "btnOthers")->property("chosen").toBool());
    }

    void formatButtonsGrowWithTheirCaptions()
    {
        const std::string oldMpeg = IDS_MAIN_RADIOBUTTON_ToMPEG, oldOthers = IDS_MAIN_RADIOBUTTON_ToOthers;
        const std::string oldMp3 = IDS_MAIN_MENUITEM_ToMP3;
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        const int usualWidth = frm->width();
        IDS_MAIN_RADIOBUTTON_ToMPEG = "Umwandeln nach MPEG";
        IDS_MAIN_RADIOBUTTON_ToOthers = "Weitere Formate";
        IDS_MAIN_MENUITEM_ToMP3 = "Umwandeln nach MP3 (Audio)";
        frm->ApplyTexts();
        Act(frm.get(), "actMP3")->trigger();
        QCoreApplication::processEvents();
        QStringList names(std::begin(MainButtons), std::end(MainButtons));
        names << "btnOthers";
        int right = 0;
        for (const QString& name : names) {
            auto* b = Child<QToolButton>(frm.get(), name.toLatin1().constData());
            const int needed = QFontMetrics(b->font()).horizontalAdvance(b->text());
            QVERIFY2(b->width() >= needed + 8, qPrintable(name + ": caption cut"));
            // Inside the window, not pushed over its edge.
            right = std::max(right, b->mapTo(frm.get(), QPoint(b->width(), 0)).x());
        }
        QVERIFY(right <= frm->width());
        QVERIFY(frm->width() > usualWidth);
        IDS_MAIN_RADIOBUTTON_ToMPEG = oldMpeg;
        IDS_MAIN_RADIOBUTTON_ToOthers = oldOthers;
        IDS_MAIN_MENUITEM_ToMP3 = oldMp3;
        frm->ApplyTexts();
        QCOMPARE(frm->width(), usualWidth);
    }

    void longCompleteNameKeepsToItsRows()
    {
        const std::string clip = fx_->MakeClip("long.avi");
        if (clip.empty())
            QSKIP("ffmpeg could not make a clip");
        const std::string name = "Überlange Ferienaufnahme mit sehr langem Namen vom Sommerurlaub an der Ostsee "
                                 "2026 – Tag drei, Strand und Dünen bei Sonnenuntergang.avi";
        auto frm = fx_->NewWindow();
        frm->show();
        QVERIFY(QTest::qWaitForWindowExposed(frm.get()));
        frm->AddFiles(fx_->CopyClip(clip, {name}));
        frm->SelectListItem(0);
        QTRY_VERIFY(Child<QFrame>(frm.get(), "pnlMediaInfo")->isVisible());
        auto* value = Child<QLabel>(frm.get(), "lblCompleteNameValue");
        QTRY_VERIFY(value->text().endsWith("Sonnenuntergang.avi"));
        auto* playTime = Child<QLabel>(frm.get(), "lblPlayTimeValue");
        auto* playCaption = Child<QLabel>(frm.get(), "lblPlayTime");
        // Two whole lines of room, above the PlayTime row and clear of it.
        QVERIFY(value->height() >= 2 * value->fontMetrics().lineSpacing());
        QVERIFY(!value->geometry().intersects(playTime->geometry()));
        QVERIFY(value->geometry().bottom() < playCaption->geometry().top());
        bool cut = false;
        const QStringList lines = FactLines(value->text(), value->font(), value->contentsRect().width(), 2, &cut);
        QCOMPARE(lines.size(), 2);
        QVERIFY(cut);
        QVERIFY(lines.last().endsWith(".avi"));
        for (const QString& line : lines)
            QVERIFY(value->fontMetrics().horizontalAdvance(line) <= value->contentsRect().width());
    }

    void factLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("cut");
        QTest::newRow("short value") << "AVI" << 2 << 1 << false;
        QTest::newRow("empty value") << "" << 2 << 0 << false;
        QTest::newRow("fills two lines") << "/media/Ferien/Dünen.avi" << 2 << 2 << false;
        QTest::newRow("longer than two lines") << "/media/Überlange Ferienaufnahme mit sehr langem Namen.avi" << 2 << 2
                                               << true;
        QTest::newRow("one word longer than a line") << QString(60, QChar(u'Ä')) + ".avi" << 2 << 2 << true;
        QTest::newRow("one-line value cut short") << "MPEG-4 Visual Advanced Simple Profile" << 1 << 1 << true;
    }

    void factLines()
    {
        QFETCH(QString, text);
        QFETCH(int, maxLines);
        QFETCH(int, lines);
        QFETCH(bool, cut);
        QFont font;
        const QFontMetrics fm(font);
        // Wide enough for about fifteen characters.
        const int width = fm.horizontalAdvance(QStringLiteral("/media/Ferien/S"));
        bool wasCut = !cut;
        const QStringList shown = FactLines(text, font, width, maxLines, &wasCut);
        QCOMPARE(shown.size(), lines);
        QCOMPARE(wasCut, cut);
        for (const QString& line : shown)
            QVERIFY2(fm.horizontalAdvance(line) <= width, qPrintable(line));
        if (!cut)
            QCOMPARE(shown.join(QString()).remove(' '), QString(text).remove(' '));
        else if (text.endsWith(".avi"))
            QVERIFY(shown.last().endsWith(".avi"));
    }

    // Every control the Tab key reaches shows that it has the focus: it is
    // drawn otherwise with the focus than without. With an other format
    // chosen all eight format buttons take the focus; the list holds a file.
    void everyFocusStopShowsItsFocus()
    {
        const std::string clip = fx_->MakeClip("focus.avi");
        fx_->WriteOptions("[VideoConvertoptions]\nOutputFormat=13\n");
        auto frm = fx_->NewWindow();
        frm->show();
        frm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frm.get()));
        if (!clip.empty())
            frm->AddFiles({clip});
        frm->move(0, 0);
        QCursor::setPos(frm->mapToGlobal(QPoint(frm->width() - 2, frm->height() - 2))); // hovers nothing
        QWidget* start = Child<QWidget>(frm.get(), "btnHelp");
        start->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), start);
        QStringList stops, unseen;
        for (int i = 0; i < 60; ++i) {
            QWidget* w = QApplication::focusWidget();
            QVERIFY(w);
            if (i > 0 && w == start)
                break;
            stops << w->objectName();
            const QImage focused = w->grab().toImage();
            w->clearFocus();
            QTRY_VERIFY(!w->hasFocus());
            const QImage plain = w->grab().toImage();
            if (focused == plain)
                unseen << w->objectName();
            w->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(QApplication::focusWidget(), w);
            QTest::keyClick(w, Qt::Key_Tab);
        }
        for (const char* name : {"btnHelp", "btnAVI", "btnSWF", "btnOthers", "btnOpen", "btnConvert", "txtOutputDir"})
            QVERIFY2(stops.contains(name), qPrintable(stops.join(' ')));
        QVERIFY2(unseen.isEmpty(), qPrintable("no focus shown: " + unseen.join(' ')));
    }

    void aboutTitleReadableAndOnlineResourcesOpenTheHelpPage()
    {
        auto frm = fx_->NewWindow();
        frm->show();
        QColor text, background;
        DialogHook::QueueFormDriver([&](QDialog& d) {
            auto* title = d.findChild<QLabel*>("lblTitle");
            QVERIFY(title);
            title->ensurePolished();
            text = title->palette().color(title->foregroundRole());
            background = d.palette().color(d.backgroundRole());
            d.findChild<QPushButton*>("btnOnlineResources")->click();
        });
        frm->ShowAbout();
        QVERIFY(text.isValid() && background.isValid());
        QVERIFY2(Contrast(text, background) >= 4.5,
                 qPrintable(QStringLiteral("%1 on %2").arg(text.name(), background.name())));
        // The main window's own title stays white on its dark band.
        auto* mainTitle = Child<QLabel>(frm.get(), "lblTitle");
        mainTitle->ensurePolished();
        QCOMPARE(mainTitle->palette().color(mainTitle->foregroundRole()), QColor(Qt::white));
        // "Online Resources" opened the shipped help page, from the about window and the help menu.
        Act(frm.get(), "actOnlineResources")->trigger();
        QCOMPARE(opened_.size(), size_t(2));
        for (const QUrl& u : opened_) {
            QVERIFY(u.isLocalFile());
            QVERIFY2(QFileInfo(u.toLocalFile()).fileName().startsWith("English_help."), qPrintable(u.toString()));
        }
    }
};

QTEST_MAIN(MainLayoutTest)
#include "main_layout_test.moc"
