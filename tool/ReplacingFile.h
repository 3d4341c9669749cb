// An output file that replaces its target only once it is complete: it is written under a
// temporary name in the target's folder and renamed at the end, so a failed run leaves an
// earlier file of that name as it was and no half-written one behind. The new file keeps the
// earlier one's permissions (and, written by root, its owner).
#pragma once

#include <cstdio>
#include <string>

class ReplacingFile {
public:
    explicit ReplacingFile(std::string target) : m_target(std::move(target)) {}
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile &) = delete;
    ReplacingFile &operator=(const ReplacingFile &) = delete;

    // The stream to write to; null when it cannot be created (error() says why).
    std::FILE *open();
    // Closes the stream and puts it in the target's place. false: error() says why, and the
    // temporary file is gone.
    bool commit();
    const std::string &error() const { return m_error; }

private:
    void keepPermissions(int fd) const;
    void discard();

    std::string m_target;
    std::string m_temporary;
    std::FILE *m_file = nullptr;
    std::string m_error;
};
