// Clock: tick count, sleep, calendar time, FILETIME.
#pragma once

#include <cstdint>

namespace qm::os {

// Milliseconds of a monotonic clock; wraps like GetTickCount.
uint32_t tickCount();
void sleepMilliseconds(uint32_t ms);

// SYSTEMTIME.
struct SystemTime {
    uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
SystemTime utcTime();
SystemTime localTime();

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
uint64_t fileTimeNow();
uint64_t fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);
// Converts back; false when the time is outside what SYSTEMTIME holds.
bool fileTimeToSystemTime(uint64_t fileTime, SystemTime* out);

}  // namespace qm::os
