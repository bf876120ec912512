#include "ui/common/Mnemonics.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include <functional>
#include <set>
#include <vector>

namespace {

// A caption as shown, with the position of its mnemonic (-1: none).
struct TCaption {
    QString Visible;
    int At = -1;
};

TCaption ParseCaption(const QString& text)
{
    TCaption c;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;
            if (text[i] != QLatin1Char('&') && c.At < 0)
                c.At = static_cast<int>(c.Visible.size());
        }
        c.Visible += text[i];
    }
    return c;
}

QString BuildCaption(const TCaption& c)
{
    QString text;
    for (int i = 0; i < c.Visible.size(); ++i) {
        if (i == c.At)
            text += QLatin1Char('&');
        text += c.Visible[i];
        if (c.Visible[i] == QLatin1Char('&'))
            text += QLatin1Char('&');
    }
    return text;
}

bool Usable(QChar ch) { return ch.isLetterOrNumber(); }

// One captioned control: how to read and write its caption.
struct TItem {
    std::function<QString()> Get;
    std::function<void(const QString&)> Set;
};

// The position for a caption given the letters already taken; -1 when every
// letter of it is. Letters in Spare are taken only when nothing else is free.
int ChooseLetter(const TCaption& c, const std::set<QChar>& used, const std::set<QChar>& spare)
{
    for (const bool keepSpare : {true, false}) {
        auto freeAt = [&](int i) {
            const QChar l = c.Visible[i].toLower();
            return Usable(l) && !used.count(l) && !(keepSpare && spare.count(l));
        };
        // Word initials, then ASCII letters and digits, then any other letter.
        for (int i = 0; i < c.Visible.size(); ++i)
            if ((i == 0 || !c.Visible[i - 1].isLetterOrNumber()) && freeAt(i) && c.Visible[i].unicode() < 128)
                return i;
        for (int i = 0; i < c.Visible.size(); ++i)
            if (freeAt(i) && c.Visible[i].unicode() < 128)
                return i;
        for (int i = 0; i < c.Visible.size(); ++i)
            if (freeAt(i))
                return i;
    }
    return -1;
}

// Spare: the letters the pages below the scope could use, left to them while
// the scope's own captions have others.
void AssignItems(const std::vector<TItem>& items, std::set<QChar>& used, const std::set<QChar>& spare)
{
    std::vector<TCaption> captions;
    std::vector<bool> settled;
    for (const TItem& item : items) {
        captions.push_back(ParseCaption(item.Get()));
        settled.push_back(false);
    }
    // The letters the captions bring, first come first served.
    for (size_t i = 0; i < captions.size(); ++i) {
        const TCaption& c = captions[i];
        if (c.At >= 0 && Usable(c.Visible[c.At]) && used.insert(c.Visible[c.At].toLower()).second)
            settled[i] = true;
    }
    for (size_t i = 0; i < captions.size(); ++i) {
        if (settled[i] || captions[i].At < 0)
            continue; // kept, or a caption that wants no mnemonic
        captions[i].At = ChooseLetter(captions[i], used, spare);
        if (captions[i].At >= 0)
            used.insert(captions[i].Visible[captions[i].At].toLower());
        items[i].Set(BuildCaption(captions[i]));
    }
}

// The captioned controls of one scope under Widget, and the pages below it
// that are scopes of their own.
void Collect(QWidget* widget, std::vector<TItem>& buttons, std::vector<TItem>& tabs, std::vector<TItem>& others,
             std::vector<QWidget*>& pages)
{
    for (QObject* o : widget->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w || w->isWindow())
            continue;
        if (auto* tabWidget = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabWidget->count(); ++i) {
                tabs.push_back({[tabWidget, i] { return tabWidget->tabText(i); },
                                [tabWidget, i](const QString& t) { tabWidget->setTabText(i, t); }});
                pages.push_back(tabWidget->widget(i));
            }
            continue;
        }
        if (auto* stack = qobject_cast<QStackedWidget*>(w)) {
            for (int i = 0; i < stack->count(); ++i)
                pages.push_back(stack->widget(i));
            continue;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            TItem item{[b] { return b->text(); }, [b](const QString& t) { b->setText(t); }};
            (qobject_cast<QPushButton*>(w) ? buttons : others).push_back(item);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            others.push_back({[g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); }});
        } else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy()) {
            others.push_back({[l] { return l->text(); }, [l](const QString& t) { l->setText(t); }});
        }
        Collect(w, buttons, tabs, others, pages);
    }
}

// Every letter of the captions with a mnemonic on Pages and below.
void AddLetters(const std::vector<QWidget*>& pages, std::set<QChar>& letters)
{
    for (QWidget* page : pages) {
        std::vector<TItem> buttons, tabs, others;
        std::vector<QWidget*> below;
        Collect(page, buttons, tabs, others, below);
        for (const auto* list : {&buttons, &tabs, &others})
            for (const TItem& item : *list)
                if (const TCaption c = ParseCaption(item.Get()); c.At >= 0)
                    for (QChar l : c.Visible)
                        if (Usable(l))
                            letters.insert(l.toLower());
        AddLetters(below, letters);
    }
}

void AssignScope(QWidget* root, std::set<QChar> used)
{
    std::vector<TItem> buttons, tabs, others;
    std::vector<QWidget*> pages;
    Collect(root, buttons, tabs, others, pages);
    std::vector<TItem> items = buttons;
    items.insert(items.end(), others.begin(), others.end());
    items.insert(items.end(), tabs.begin(), tabs.end());
    std::set<QChar> spare;
    AddLetters(pages, spare);
    AssignItems(items, used, spare);
    for (QWidget* page : pages)
        AssignScope(page, used);
}

} // namespace

QChar MnemonicOf(const QString& caption)
{
    const TCaption c = ParseCaption(caption);
    return c.At >= 0 ? c.Visible[c.At].toLower() : QChar();
}

void MakeMnemonicsUnique(QWidget* window)
{
    AssignScope(window, {});
}
