// What the stored-file fuzz targets share: an input written out as a file, and a check whose
// breach traps, so that libFuzzer keeps the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

inline void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

// false when the file could not be written whole; the run is then skipped, not failed.
inline bool writeFuzzFile(const std::string &path, const uint8_t *bytes, std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}
