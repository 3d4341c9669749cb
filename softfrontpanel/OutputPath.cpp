#include "OutputPath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The folder as the user would read it: absolute, without "." or ".." parts, and without a
// trailing separator except for the root. Empty when there is no name or no working folder.
std::string absoluteFolder(const fs::path &path) {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    if (error || full.empty())
        return {};
    std::string folder = full.lexically_normal().parent_path().string();
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

std::string OutputPath::withExtension(const std::string &path, const std::string &wanted) {
    if (path.empty())
        return path;
    // Taken by hand rather than with path::extension(), which gives nothing for ".bin7150":
    // a name that is only the extension already fits.
    const std::string name = fs::path(path).filename().string();
    const size_t lastDot = name.rfind('.');
    std::string suffix = lastDot == std::string::npos ? std::string() : name.substr(lastDot + 1);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (suffix == wanted)
        return path;
    const std::string folder = absoluteFolder(path);
    const std::string separator = folder.empty() || folder.back() == '/' ? "" : "/";
    return folder + separator + name.substr(0, name.find('.')) + "." + wanted;
}

std::string OutputPath::folder(const std::string &path) {
    return path.empty() ? std::string() : absoluteFolder(path);
}

bool OutputPath::folderExists(const std::string &path) {
    const std::string folder = OutputPath::folder(path);
    std::error_code error;
    return !folder.empty() && fs::is_directory(folder, error);
}
