// Puts the panels in the state of a stored recording, so that a file viewed offline shows
// its own length, rate and channels, and nothing can be changed that it does not have.
#pragma once

struct fileInfo_t;
class kq7150fp_App;

class StoredFileSettings {
public:
    static void apply(kq7150fp_App &window, const fileInfo_t &info);
};
