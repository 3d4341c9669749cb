// kq7150-tool info FILE: the header of a stored file as readable text, and whether its payload
// is a whole number of blocks; for a FLAC recording, instead of the binary layout, each
// channel's volts per count, the streams beside the description and the whole blocks they hold.
#pragma once

class StoredFile;

class InfoCommand {
public:
    static int run(const StoredFile &file);
};
