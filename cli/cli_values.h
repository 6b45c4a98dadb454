#pragma once
// Checks of numeric option values as they are stored, so that a value the parser
// accepts as "above 0" never becomes 0 on the way.

#include <cstdint>
#include <optional>

namespace cli {

// `value` as a float factor or rate: nothing when it is not finite, not above 0, or
// so small that the float is 0.
std::optional<float> positiveFloat(double value);

// kbit/s as whole bit/s: nothing when not finite, not above 0, below 1 bit/s or
// beyond 64 bits.
std::optional<std::int64_t> bitsPerSecond(double kbps);

}  // namespace cli
