#include "ui/common/Busy.h"

#include <QApplication>
#include <QCursor>

namespace {
int gBusyDepth = 0;
}

void BeginBusy()
{
    ++gBusyDepth;
    if (gBusyDepth == 1 && qApp)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void EndBusy()
{
    if (gBusyDepth <= 0)
        return;
    --gBusyDepth;
    if (gBusyDepth == 0 && qApp)
        QApplication::restoreOverrideCursor();
}

int BusyDepth()
{
    return gBusyDepth;
}
