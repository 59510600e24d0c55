#include "platform/os/clock.h"

#include <cerrno>
#include <ctime>

namespace qm::os {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;  // FILETIME counts 100 ns
constexpr uint64_t kUnixEpoch = 116'444'736'000'000'000;
constexpr uint64_t kTicksPerMs = 10'000;
constexpr int64_t kSecondsPerDay = 86'400;
constexpr int64_t kDaysFrom1601To1970 = 134'774;
constexpr int64_t kMaxYear = 30'827;

timespec now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts;
}

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's method).
void civilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719'468;
    const int64_t era = (z >= 0 ? z : z - 146'096) / 146'097;
    const auto doe = static_cast<unsigned>(z - era * 146'097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36'524 - doe / 146'096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2 ? 1 : 0);
}

SystemTime fromTm(const tm& t, long nanoseconds) {
    return {static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1),
            static_cast<uint16_t>(t.tm_wday),        static_cast<uint16_t>(t.tm_mday),
            static_cast<uint16_t>(t.tm_hour),        static_cast<uint16_t>(t.tm_min),
            static_cast<uint16_t>(t.tm_sec),         static_cast<uint16_t>(nanoseconds / 1'000'000)};
}

}  // namespace

uint32_t tickCount() {
    timespec ts = now(CLOCK_MONOTONIC);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1'000'000;
    return static_cast<uint32_t>(ms);
}

void sleepMilliseconds(uint32_t ms) {
    // An absolute deadline on the tick count's own clock: interruptions resume
    // without drifting, and the tick count is sure to have moved by ms.
    timespec deadline = now(CLOCK_MONOTONIC);
    deadline.tv_sec += static_cast<time_t>(ms / 1000);
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1'000'000;
    if (deadline.tv_nsec >= 1'000'000'000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

SystemTime utcTime() {
    timespec ts = now(CLOCK_REALTIME);
    tm t{};
    gmtime_r(&ts.tv_sec, &t);
    return fromTm(t, ts.tv_nsec);
}

SystemTime localTime() {
    timespec ts = now(CLOCK_REALTIME);
    // localtime_r need not look at TZ again; tzset makes a changed zone count.
    tzset();
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    return fromTm(t, ts.tv_nsec);
}

uint64_t fileTimeNow() {
    timespec ts = now(CLOCK_REALTIME);
    return fileTimeFromUnix(ts.tv_sec, static_cast<uint32_t>(ts.tv_nsec));
}

uint64_t fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    // Saturate rather than wrap for times FILETIME cannot hold.
    constexpr int64_t kEpochSeconds = static_cast<int64_t>(kUnixEpoch / kTicksPerSecond);
    if (seconds < -kEpochSeconds) return 0;
    const uint64_t since1601 = seconds >= 0 ? static_cast<uint64_t>(seconds) + kEpochSeconds
                                            : static_cast<uint64_t>(seconds + kEpochSeconds);
    const uint64_t fraction = nanoseconds / 100;
    if (since1601 > (UINT64_MAX - fraction) / kTicksPerSecond) return UINT64_MAX;
    return since1601 * kTicksPerSecond + fraction;
}

bool fileTimeToSystemTime(uint64_t fileTime, SystemTime* out) {
    if (out == nullptr) return false;
    const auto seconds = static_cast<int64_t>(fileTime / kTicksPerSecond);
    const auto ms = static_cast<unsigned>(fileTime % kTicksPerSecond / kTicksPerMs);
    const int64_t days = seconds / kSecondsPerDay;
    const auto secondOfDay = static_cast<unsigned>(seconds % kSecondsPerDay);
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days - kDaysFrom1601To1970, &year, &month, &day);
    if (year > kMaxYear) return false;
    // 1601-01-01 was a Monday.
    const auto weekday = static_cast<unsigned>((days + 1) % 7);
    *out = {static_cast<uint16_t>(year),
            static_cast<uint16_t>(month),
            static_cast<uint16_t>(weekday),
            static_cast<uint16_t>(day),
            static_cast<uint16_t>(secondOfDay / 3600),
            static_cast<uint16_t>(secondOfDay / 60 % 60),
            static_cast<uint16_t>(secondOfDay % 60),
            static_cast<uint16_t>(ms)};
    return true;
}

}  // namespace qm::os
