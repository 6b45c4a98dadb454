// The part of files.h that is the same on every system.

#include "platform/files.h"

namespace platform {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

}  // namespace platform
