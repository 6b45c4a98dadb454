#pragma once
#include <cstdint>

namespace platform {

// Microseconds since 1970-01-01 UTC (wall clock).
std::int64_t nowMicros();
// Day of the month (1..31) in the local time zone.
int localDayOfMonth();

}  // namespace platform
