#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace platform {

bool writeFileAtomically(const std::filesystem::path& file, std::string_view data) {
    std::string tmp = file.string() + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0)
        return false;
    struct stat st {};
    fchmod(fd, stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    bool ok = true;
    const char* p = data.data();
    std::size_t left = data.size();
    while (ok && left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
    ok = ok && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tmp.c_str(), file.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

}  // namespace platform
