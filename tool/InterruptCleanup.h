// The temporary file of a run that INT, TERM, HUP or QUIT ends: the handler removes it and the
// signal then takes its default course, so the tool still dies of it and its status says so.
// A signal the tool was started with ignored stays ignored. One file at a time.
#pragma once

#include <csignal>
#include <string>

class InterruptCleanup {
public:
    // While one lives, those signals wait. A temporary is created and watched under one, and
    // renamed or removed and forgotten under one, so that no signal falls in between.
    class Hold {
    public:
        Hold();
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        sigset_t m_previous;
    };

    // The file to remove; "" for none. Call under a Hold.
    static void watch(const std::string &path);
};
