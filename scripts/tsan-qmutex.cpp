// Lets ThreadSanitizer see Qt 5's mutexes; scripts/tsan.sh preloads it into
// the tests it runs.
//
// QMutex locks and unlocks inside libQt5Core, which is not instrumented, so
// without this every section that our code guards with a QMutex looks
// unguarded. Each function below is Qt's own, reached through dlsym, with a
// note to ThreadSanitizer that the mutex was acquired or released; the
// locking itself is unchanged. Qt's calls within libQt5Core are bound inside
// the library and stay as they are.
#include <QMutex>

#include <dlfcn.h>

extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);

namespace {
template <typename Function>
Function qtOwn(const char *symbol)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, symbol));
}
} // namespace

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto qt = qtOwn<void (*)(QMutex *)>("_ZN6QMutex4lockEv");
    qt(this);
    __tsan_acquire(this);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto qt = qtOwn<bool (*)(QMutex *, int)>("_ZN6QMutex7tryLockEi");
    const bool locked = qt(this, timeout);
    if (locked)
        __tsan_acquire(this);
    return locked;
}

void QMutex::unlock() noexcept
{
    static const auto qt = qtOwn<void (*)(QMutex *)>("_ZN6QMutex6unlockEv");
    __tsan_release(this);
    qt(this);
}

// The slow paths of QBasicMutex's inline lock() and unlock(), taken when
// the mutex is contended; the inline fast paths are atomics on the same
// address, which ThreadSanitizer sees by itself.
void QBasicMutex::lockInternal() QT_MUTEX_LOCK_NOEXCEPT
{
    static const auto qt = qtOwn<void (*)(QBasicMutex *)>("_ZN11QBasicMutex12lockInternalEv");
    qt(this);
    __tsan_acquire(this);
}

void QBasicMutex::unlockInternal() noexcept
{
    static const auto qt = qtOwn<void (*)(QBasicMutex *)>("_ZN11QBasicMutex14unlockInternalEv");
    __tsan_release(this);
    qt(this);
}
