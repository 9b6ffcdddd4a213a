#include "platform/pause.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QThread>
#endif

namespace platform {

void pauseMs(int ms)
{
    if (ms <= 0)
        return;
#ifdef Q_OS_WIN
    ::Sleep(static_cast<DWORD>(ms));
#else
    QThread::msleep(static_cast<unsigned long>(ms));
#endif
}

} // namespace platform
