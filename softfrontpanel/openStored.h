// Opens a stored file for reading. Anything can be named, so a FIFO without a writer must not
// block the caller, and only what has a length and can be read again is accepted: a regular
// file or a block device.
#pragma once

#include <cstdio>
#include <string>

// The open stream, or null with why (when given) set to the reason in words.
std::FILE *openStored(const char *path, std::string *why);
