#include "platform/time.h"

#include <chrono>
#include <ctime>

namespace platform {

std::int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

int localDayOfMonth() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return tm.tm_mday;
}

}  // namespace platform
