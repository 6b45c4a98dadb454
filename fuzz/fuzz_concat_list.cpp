// Every name the concat list accepts comes back from ffmpeg's own tokenizer as the
// one entry it was written as; every name it refuses holds a line end or a NUL.
#include "convert/merge_list.h"

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/mem.h>
}

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name(reinterpret_cast<const char*>(data), size);
    const bool breaks = name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
    if (!convert::concatListAccepts(name)) {
        if (!breaks)
            std::abort();
        return 0;
    }
    if (breaks)
        std::abort();
    std::string line = convert::concatListLine(name);
    if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0)
        std::abort();
    line.resize(line.size() - 2);
    // ffmpeg reads the list line by line: no line end may be left inside.
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos || line.compare(0, 5, "file ") != 0)
        std::abort();
    const char* cursor = line.c_str() + 5;
    char* token = av_get_token(&cursor, " \t\n\r");
    if (!token || name != token || *cursor != '\0')
        std::abort();
    av_free(token);
    return 0;
}
