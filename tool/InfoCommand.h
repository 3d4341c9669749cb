// kq7150-tool info FILE: the header of a stored file as readable text, and whether its payload
// is a whole number of blocks.
#pragma once

class StoredFile;

class InfoCommand {
public:
    static int run(const StoredFile &file);
};
