// quorin-convert's time and crop values: any text parses without fault; an accepted
// time reads back the same from its H:MM:SS form; an accepted clip ends after it
// starts and an accepted crop has a size.
#include "cli/cli_options.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (auto seconds = cli::parseSeconds(text)) {
        if (*seconds < 0)
            std::abort();
        char hms[64];
        std::snprintf(hms, sizeof hms, "%d:%02d:%02d", *seconds / 3600, *seconds / 60 % 60, *seconds % 60);
        if (cli::parseSeconds(hms) != seconds)
            std::abort();
    }
    std::string error;
    if (auto o = cli::parseArguments({"convert", "--clip", text, "f.mp4"}, error)) {
        if (!o->clip || o->clip->first < 0 || o->clip->first >= o->clip->second)
            std::abort();
    }
    if (auto o = cli::parseArguments({"convert", "--crop", text, "f.mp4"}, error)) {
        if (!o->crop || (*o->crop)[2] <= 0 || (*o->crop)[3] <= 0 || (*o->crop)[0] < 0 || (*o->crop)[1] < 0)
            std::abort();
    }
    return 0;
}
