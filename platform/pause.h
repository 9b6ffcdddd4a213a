#ifndef PLATFORM_PAUSE_H
#define PLATFORM_PAUSE_H

namespace platform {

// Blocks the calling thread for 'ms' milliseconds without running events,
// as the Windows Sleep() call does. Used on the GUI thread where the meter
// needs time between commands.
void pauseMs(int ms);

} // namespace platform

#endif
