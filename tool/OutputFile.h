// Where convert's text goes, decided by what the output path names: "-" is standard output; a
// regular file, or nothing yet, is replaced once the text is complete (ReplacingFile); a
// device or FIFO is written into as it stands, since replacing it would put a plain file in
// its place. Symbolic links are followed to what they name and stay links.
#pragma once

#include "ReplacingFile.h"

#include <cstdio>
#include <optional>
#include <string>

class OutputFile {
public:
    explicit OutputFile(std::string path) : m_path(std::move(path)) {}
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // The stream to write to; null when there is none (error() says why).
    std::FILE *open();
    // Everything written is where the path leads. false: error() says why.
    bool commit();
    const std::string &error() const { return m_error; }

private:
    std::FILE *openDirect(const std::string &path, bool fifo);
    std::FILE *replace(const std::string &path);
    std::FILE *fail(const std::string &why);

    std::string m_path;
    std::optional<ReplacingFile> m_replacing;
    std::FILE *m_direct = nullptr;
    std::string m_error;
};
