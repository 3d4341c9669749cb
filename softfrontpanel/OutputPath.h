// The file-name rules of continuous storage: the extension must fit the format, and the
// folder must exist.
#pragma once

#include <string>

struct OutputPath {
    // The name with the extension of the format (".bin7150" for binary, ".csv" for CSV), or the
    // name unchanged when its extension (lower-cased) already fits. A changed name is the
    // absolute folder + "/" + the part of the file name before its first dot + extension.
    static std::string withExtension(const std::string &path, bool binary);
    // The folder of the name (absolute), and whether it exists.
    static std::string folder(const std::string &path);
    static bool folderExists(const std::string &path);
};
