#include "ReplacingFile.h"

#include "InterruptCleanup.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

ReplacingFile::~ReplacingFile() {
    discard();
}

std::FILE *ReplacingFile::open() {
    std::string name = m_target + ".XXXXXX";
    int fd = -1;
    {
        const InterruptCleanup::Hold hold;
        fd = mkstemp(&name[0]);
        if (fd >= 0)
            InterruptCleanup::watch(name);
    }
    if (fd < 0) {
        m_error = std::strerror(errno);
        return nullptr;
    }
    m_temporary = name;
    keepPermissions(fd);
    m_file = fdopen(fd, "w");
    if (!m_file) {
        m_error = std::strerror(errno);
        close(fd);
        discard();
    }
    return m_file;
}

void ReplacingFile::keepPermissions(int fd) const {
    struct stat target;
    if (stat(m_target.c_str(), &target) == 0) {
        if (fchown(fd, target.st_uid, target.st_gid) != 0) {
            // Only root may give a file away: anyone else's copy stays their own.
        }
        fchmod(fd, target.st_mode & 07777);
        return;
    }
    // mkstemp makes the file private; a new one gets the permissions any new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

bool ReplacingFile::commit() {
    if (!m_file)
        return false;
    const bool written = !std::ferror(m_file);
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!written || !closed) {
        m_error = written ? std::strerror(errno) : "write failed";
        discard();
        return false;
    }
    {
        const InterruptCleanup::Hold hold;
        if (std::rename(m_temporary.c_str(), m_target.c_str()) == 0) {
            m_temporary.clear();
            InterruptCleanup::watch("");
            return true;
        }
        m_error = std::strerror(errno);
    }
    discard();
    return false;
}

void ReplacingFile::discard() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    if (!m_temporary.empty()) {
        const InterruptCleanup::Hold hold;
        std::remove(m_temporary.c_str());
        InterruptCleanup::watch("");
    }
    m_temporary.clear();
}
