// The progress file: any content gives a reading without fault, and the percentage
// stays 0..99 until "progress=end", which alone gives 100.
#include "convert/util_transform.h"

#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const convert::ProgressScan scan = convert::scanProgress(in);
    for (double seconds : {0.0, 0.5, 1.0, 60.0, 86400.0}) {
        const int percent = convert::progressPercent(scan, seconds);
        if (percent < 0 || percent > 100 || (percent == 100) != scan.end)
            std::abort();
    }
    return 0;
}
