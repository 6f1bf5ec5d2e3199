#include "traffic/ResponsivePause.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <sys/prctl.h>

void responsivePause(int ms)
{
    QElapsedTimer waited;
    waited.start();
    {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const qint64 left = ms - waited.elapsed();
    if (left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}

void preciseTimers()
{
    ::prctl(PR_SET_TIMERSLACK, 1UL);
}
