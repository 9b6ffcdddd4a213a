#include "wallclockshift.h"

#include <atomic>

#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

namespace {
std::atomic<long long> shiftMs{0};
}

void wallclock::setShift(qint64 ms)
{
    shiftMs = ms;
}

// The system call, not the C library, so these stand-ins cannot call
// themselves and reach the true clocks.
extern "C" int clock_gettime(clockid_t clock, struct timespec *ts) __THROW
{
    const long rc = syscall(SYS_clock_gettime, clock, ts);
    if (rc == 0 && (clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE)) {
        const long long ns = static_cast<long long>(ts->tv_sec) * 1000000000LL + ts->tv_nsec
                             + shiftMs.load() * 1000000LL;
        ts->tv_sec = static_cast<time_t>(ns / 1000000000LL);
        ts->tv_nsec = static_cast<long>(ns % 1000000000LL);
    }
    return static_cast<int>(rc);
}

extern "C" int gettimeofday(struct timeval *__restrict tv, void *__restrict) __THROW
{
    struct timespec ts;
    const int rc = clock_gettime(CLOCK_REALTIME, &ts);
    if (rc == 0) {
        tv->tv_sec = ts.tv_sec;
        tv->tv_usec = static_cast<suseconds_t>(ts.tv_nsec / 1000);
    }
    return rc;
}
