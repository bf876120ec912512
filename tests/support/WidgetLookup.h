#pragma once

#include <QPushButton>
#include <QWidget>
#include <QtTest>

namespace qvtest {

// The child widget of the given object name; a missing one ends the test program.
template <typename T>
T* Child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

inline void Click(QWidget& w, const char* name)
{
    QTest::mouseClick(Child<QPushButton>(w, name), Qt::LeftButton);
}

} // namespace qvtest
