#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>

namespace qm::os {

void PrintTo(const SystemTime& t, std::ostream* os) {
    *os << t.year << '-' << t.month << '-' << t.day << " (" << t.dayOfWeek << ") " << t.hour << ':'
        << t.minute << ':' << t.second << '.' << t.milliseconds;
}

static auto fields(const SystemTime& t) {
    return std::tie(t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second,
                    t.milliseconds);
}
static bool operator==(const SystemTime& a, const SystemTime& b) { return fields(a) == fields(b); }
static bool operator<=(const SystemTime& a, const SystemTime& b) {
    // Chronological: dayOfWeek follows from the date, so skip it.
    return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second, a.milliseconds) <=
           std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second, b.milliseconds);
}

namespace {

SystemTime convert(uint64_t fileTime) {
    SystemTime t{};
    EXPECT_TRUE(fileTimeToSystemTime(fileTime, &t)) << fileTime;
    return t;
}

constexpr uint64_t kUnixEpoch = 116444736000000000;
constexpr uint64_t kLastValid = 9223149887999990000;  // 30827-12-31 23:59:59.999

TEST(FileTimeTest, FromUnixCountsFrom1601) {
    EXPECT_EQ(fileTimeFromUnix(0, 0), kUnixEpoch);
    EXPECT_EQ(fileTimeFromUnix(946684800, 0), 125911584000000000u);  // 2000-01-01
    EXPECT_EQ(fileTimeFromUnix(0, 123456789), kUnixEpoch + 1234567);  // 100 ns steps, truncated
    EXPECT_EQ(fileTimeFromUnix(-11644473600, 0), 0u);                 // 1601-01-01
    EXPECT_EQ(fileTimeFromUnix(-11644473601, 0), 0u);                 // before: clamped
    EXPECT_EQ(fileTimeFromUnix(INT64_MAX, 0), UINT64_MAX);
}

TEST(FileTimeTest, ConvertsKnownDates) {
    struct Case {
        uint64_t fileTime;
        SystemTime want;  // year, month, dayOfWeek, day, hour, minute, second, ms
    } cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {kUnixEpoch, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {125912036967890000, {2000, 1, 6, 1, 12, 34, 56, 789}},
        {125962560000000000, {2000, 2, 2, 29, 0, 0, 0, 0}},  // leap day of a 400th year
        {94405824000000000, {1900, 3, 4, 1, 0, 0, 0, 0}},    // 1900 had no Feb 29
        {137919572480000000, {2038, 1, 2, 19, 3, 14, 8, 0}},  // past 32-bit time_t
        {kLastValid, {30827, 12, 5, 31, 23, 59, 59, 999}},
    };
    for (const Case& c : cases) EXPECT_EQ(convert(c.fileTime), c.want) << c.fileTime;
}

TEST(FileTimeTest, RefusesYearsPast30827) {
    SystemTime t{};
    EXPECT_FALSE(fileTimeToSystemTime(kLastValid + 10000, &t));
    EXPECT_FALSE(fileTimeToSystemTime(UINT64_MAX, &t));
    EXPECT_FALSE(fileTimeToSystemTime(0, nullptr));
}

TEST(FileTimeTest, AgreesWithTheCLibraryAcrossCenturies) {
    // A stride that is no whole number of days walks through every weekday,
    // time of day and leap-year position between 1601 and 9999.
    constexpr int64_t kFrom = -11644473600, kTo = 253402300799, kStride = 3'124'567;
    for (int64_t s = kFrom; s <= kTo; s += kStride) {
        time_t tt = static_cast<time_t>(s);
        tm g{};
        ASSERT_NE(gmtime_r(&tt, &g), nullptr);
        SystemTime want{static_cast<uint16_t>(g.tm_year + 1900), static_cast<uint16_t>(g.tm_mon + 1),
                        static_cast<uint16_t>(g.tm_wday),        static_cast<uint16_t>(g.tm_mday),
                        static_cast<uint16_t>(g.tm_hour),        static_cast<uint16_t>(g.tm_min),
                        static_cast<uint16_t>(g.tm_sec),         250};
        ASSERT_EQ(convert(fileTimeFromUnix(s, 250'000'000)), want) << s;
    }
}

// Sets TZ for a scope.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> old_;
};

TEST(CalendarTimeTest, UtcAndLocalLieBetweenFileTimesTakenAround) {
    ScopedTz tz("QMT-5");  // five hours east of UTC
    constexpr uint64_t kFiveHours = 5ull * 3600 * 10'000'000;
    uint64_t before = fileTimeNow();
    SystemTime utc = utcTime();
    SystemTime local = localTime();
    uint64_t after = fileTimeNow();
    EXPECT_GE(utc.year, 2024);
    EXPECT_LE(convert(before), utc);
    EXPECT_LE(utc, convert(after));
    EXPECT_LE(convert(before + kFiveHours), local);
    EXPECT_LE(local, convert(after + kFiveHours));
}

TEST(TickCountTest, FollowsTheMonotonicClockInMilliseconds) {
    auto monotonicMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 +
                                     static_cast<uint64_t>(ts.tv_nsec) / 1'000'000);
    };
    uint32_t low = monotonicMs();
    uint32_t tick = tickCount();
    uint32_t high = monotonicMs();
    EXPECT_LE(static_cast<uint32_t>(tick - low), static_cast<uint32_t>(high - low));

    uint32_t start = tickCount();
    sleepMilliseconds(20);
    EXPECT_GE(static_cast<uint32_t>(tickCount() - start), 20u);
}

}  // namespace
}  // namespace qm::os
