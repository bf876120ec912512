#pragma once

// Small builders the parts of the main window share.

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include <string>

#include "ui/common/QtText.h"

// Menu captions are plain texts: a "&" in a catalogue or language name is shown, not an accelerator.
inline QString MenuText(const std::string& s)
{
    return DisplayText(s).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// A tooltip naming the keys of its command: "Convert (Ctrl+Return)". The
// catalogue holds the text; the keys are the same in every language.
inline QString TipWithKeys(const QString& text, const QKeySequence& keys)
{
    if (keys.isEmpty())
        return text;
    return text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

// An action named Name; one with a shortcut is added to Owner so that the
// shortcut works wherever the focus is in the window.
inline QAction* NewAction(QWidget* owner, const char* name, const QKeySequence& shortcut = {})
{
    auto* a = new QAction(owner);
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
        owner->addAction(a);
    }
    return a;
}

// A widget of type T on Parent, named Name.
template <typename T>
T* NewNamed(QWidget* parent, const char* name)
{
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

inline QToolButton* NewToolButton(QWidget* parent, const char* name, const QIcon& icon)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

inline QLabel* NewLabel(QWidget* parent, const char* name)
{
    return NewNamed<QLabel>(parent, name);
}
