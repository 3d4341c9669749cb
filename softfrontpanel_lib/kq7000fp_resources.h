// A static library's compiled-in resources stay out of the program unless someone registers
// them; every widget that shows one of ours calls init() first.
#pragma once

class kq7000fp_resources {
public:
    // Registers the logos and the files produced at build time (splash images, licence
    // texts). Registering twice is harmless: Qt keeps one copy.
    static void init();
};
