#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Follows path through symbolic links to what they name, which need not exist. Returns
// lstat's result for the end of the chain (errno ELOOP after as many links as the system follows).
int followLinks(std::string &path, struct stat &status) {
    for (int links = 0; lstat(path.c_str(), &status) == 0; ++links) {
        if (!S_ISLNK(status.st_mode))
            return 0;
        if (links == 40) {
            errno = ELOOP;
            return -1;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), &target[0], target.size());
        if (length < 0)
            return -1;
        target.resize(std::size_t(length));
        const std::size_t slash = path.rfind('/');
        path = target[0] == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    return -1;
}

} // namespace

OutputFile::~OutputFile() {
    if (m_direct && m_direct != stdout)
        std::fclose(m_direct);
}

std::FILE *OutputFile::open() {
    if (m_path == "-")
        return m_direct = stdout;
    std::string target = m_path;
    struct stat status;
    if (followLinks(target, status) != 0)
        return errno == ENOENT ? replace(target) : fail(std::strerror(errno));
    if (S_ISREG(status.st_mode))
        return replace(target);
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode) || S_ISFIFO(status.st_mode))
        return openDirect(target, S_ISFIFO(status.st_mode));
    return fail(S_ISDIR(status.st_mode) ? std::strerror(EISDIR) : "neither a file, a device nor a FIFO");
}

bool OutputFile::commit() {
    if (m_replacing) {
        if (!m_replacing->commit())
            m_error = m_replacing->error();
        return m_error.empty();
    }
    const bool flushed = std::fflush(m_direct) == 0;
    if (!flushed || std::ferror(m_direct))
        m_error = flushed ? "write failed" : std::strerror(errno);
    return m_error.empty();
}

std::FILE *OutputFile::openDirect(const std::string &path, bool fifo) {
    // Without O_NONBLOCK, opening a FIFO that nobody reads would wait for good.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fail(fifo && errno == ENXIO ? "no process reads the FIFO" : std::strerror(errno));
    if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || !(m_direct = fdopen(fd, "w"))) {
        const int error = errno;
        close(fd);
        return fail(std::strerror(error));
    }
    return m_direct;
}

std::FILE *OutputFile::replace(const std::string &path) {
    std::FILE *file = m_replacing.emplace(path).open();
    return file ? file : fail(m_replacing->error());
}

std::FILE *OutputFile::fail(const std::string &why) {
    m_error = why;
    return nullptr;
}
