#define _FILE_OFFSET_BITS 64

#include "openStored.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::FILE *openStored(const char *path, std::string *why) {
    const auto refuse = [why](const char *reason) {
        if (why)
            *why = reason;
    };
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        refuse(std::strerror(errno));
        return nullptr;
    }
    struct stat status {};
    const char *kind = nullptr;
    if (::fstat(fd, &status) != 0)
        kind = std::strerror(errno);
    else if (S_ISDIR(status.st_mode))
        kind = std::strerror(EISDIR);
    else if (!S_ISREG(status.st_mode) && !S_ISBLK(status.st_mode))
        kind = "not a regular file (a pipe, socket or character device cannot hold a stored file)";
    // Reads of a regular file or disk never wait, but they must not fail with EAGAIN either.
    if (!kind && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        kind = std::strerror(errno);
    std::FILE *file = kind ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        refuse(kind ? kind : std::strerror(errno));
        ::close(fd);
    }
    return file;
}
