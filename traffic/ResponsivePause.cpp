#include "traffic/ResponsivePause.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

#include <sys/prctl.h>

void responsivePause(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    // The event loop's timers wake on whole milliseconds, up to one late; the loop ends a
    // millisecond early and the rest is slept to the microsecond, so that a pause on the
    // wire (10 ms between file packets) is not half a millisecond longer each time.
    if (ms > 1) {
        QEventLoop loop;
        QTimer::singleShot(ms - 1, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::this_thread::sleep_until(deadline);
}

void preciseTimers()
{
    ::prctl(PR_SET_TIMERSLACK, 1UL);
}
