#include "cli/cli_values.h"

#include <cmath>

namespace cli {

std::optional<float> positiveFloat(double value) {
    if (!std::isfinite(value) || value <= 0 || value > 3.4e38)
        return std::nullopt;
    const float f = static_cast<float>(value);
    if (!(f > 0.0f))
        return std::nullopt;
    return f;
}

std::optional<std::int64_t> bitsPerSecond(double kbps) {
    if (!std::isfinite(kbps) || kbps <= 0 || kbps >= 9.2e15)
        return std::nullopt;
    const auto bps = static_cast<std::int64_t>(kbps * 1000);
    if (bps < 1)
        return std::nullopt;
    return bps;
}

}  // namespace cli
