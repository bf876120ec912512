#pragma once

#include <QAction>
#include <QPushButton>
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

} // namespace qvtest
