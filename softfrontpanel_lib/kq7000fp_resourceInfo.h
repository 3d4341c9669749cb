// What the card search learns about one VISA resource, and how it learns it. Plain C++:
// the probes run on pool threads and the tests need no window.
#pragma once

#include "visatype.h"

#include <string>
#include <vector>

class kq7000fp_genFC;

struct resourceInfo {
    std::string name;                               // VISA resource name as found
    std::vector<std::string> systemRow;             // "Slot %1 - %2 MB" or "%1 - %2 LXI"; empty: no carrier
    std::vector<std::vector<std::string>> cardRows; // per occupied slot: {"FC %1", model}
    std::vector<int> cardNumbers;                   // per card row: slot from 1 when supported, else 0
    std::string tcpipAddress;                       // the carrier's IP address, TCP/IP resources only
};

struct getResourceInfo_params_t {
    kq7000fp_genFC *descriptor = nullptr;
    ViSession resourceManager = 0;
    resourceInfo info;
    bool done = false; // probed already; the parallel pass skips it
};

// Opens the resource as a carrier and describes it and its cards. Safe on any thread: it
// writes only its own record.
void probeResource(getResourceInfo_params_t &params);

// The order of resource names in the card tree: same-kind names by board number (and
// TCP/IP names by address, numerically), different kinds as plain strings.
bool descriptorLessThan(const std::string &a, const std::string &b);

// Keeps the first record of every TCP/IP address: one LXI box found under two names is
// listed once, under the name found first.
std::vector<resourceInfo> removeDuplicateAddresses(const std::vector<resourceInfo> &records);
