#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <QtTest>

namespace qvtest {

// The child (widget, action, menu) of the given object name; a missing one
// ends the test program with its name, rather than a null pointer later.
template <typename T>
T* Child(const QObject& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

template <typename T>
T* Child(const QObject* w, const char* name)
{
    return Child<T>(*w, name);
}

inline QAction* Act(const QObject* w, const char* name)
{
    return Child<QAction>(*w, name);
}

inline void Click(QWidget& w, const char* name)
{
    QTest::mouseClick(Child<QPushButton>(w, name), Qt::LeftButton);
}

// The mnemonic letters ("&Save" gives 's') that more than one control of
// Window, as it shows now, answers to: buttons, group boxes, labels with a
// buddy and tab titles that are not hidden. Each clash reads "s: Save, Speed".
inline QStringList MnemonicClashes(QWidget& window)
{
    auto letter = [](const QString& text) {
        for (int i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != QLatin1Char('&'))
                continue;
            if (text[i + 1] != QLatin1Char('&'))
                return text[i + 1].toLower();
            ++i;
        }
        return QChar();
    };
    QMap<QChar, QStringList> owners;
    auto note = [&](const QString& text) {
        if (const QChar c = letter(text); !c.isNull())
            owners[c] << text;
    };
    const auto shown = [&](QWidget* w) { return w->isVisibleTo(&window) && w->window() == &window; };
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!shown(w))
            continue;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            note(b->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            note(g->title());
        else if (auto* l = qobject_cast<QLabel*>(w); l && l->buddy())
            note(l->text());
        else if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i)
                if (t->isTabVisible(i))
                    note(t->tabText(i));
    }
    QStringList clashes;
    for (auto it = owners.begin(); it != owners.end(); ++it)
        if (it.value().size() > 1)
            clashes << QString(it.key()) + QStringLiteral(": ") + it.value().join(QStringLiteral(", "));
    return clashes;
}

} // namespace qvtest
