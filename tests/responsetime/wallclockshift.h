#ifndef TESTS_WALLCLOCKSHIFT_H
#define TESTS_WALLCLOCKSHIFT_H

#include <QtGlobal>

// Moves this process's view of the wall clock (CLOCK_REALTIME and
// gettimeofday) by 'ms' from the true time, as if the system clock had been
// set; the monotonic clocks are left alone. Linking wallclockshift.cpp puts
// its clock functions in front of the C library's for the whole process.
namespace wallclock {
void setShift(qint64 ms);
}

#endif
