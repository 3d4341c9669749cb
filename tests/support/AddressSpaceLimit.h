// A host without memory for what a start needs: while it lives, the process may map only
// `room` bytes more than it has mapped now. Sanitizers map their own shadow memory, so their
// builds skip what needs this.
#pragma once

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace kqtest {

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t room) {
        getrlimit(RLIMIT_AS, &old_);
        rlimit small = old_;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmSize:", 0) == 0)
                small.rlim_cur = std::stoull(line.substr(7)) * 1024 + room;
        setrlimit(RLIMIT_AS, &small);
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &old_); }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

private:
    rlimit old_{};
};

} // namespace kqtest
