// The file-name rules of continuous storage: the extension must fit the format, and the
// folder must exist.
#pragma once

#include <string>

struct OutputPath {
    // The name with the extension of the format (without its dot: "bin7150", "csv"), or the
    // name unchanged when its extension (lower-cased) already fits. A changed name is the
    // absolute folder + "/" + the part of the file name before its first dot + extension.
    static std::string withExtension(const std::string &path, const std::string &extension);
    // The folder of the name (absolute), and whether it exists.
    static std::string folder(const std::string &path);
    static bool folderExists(const std::string &path);
};
