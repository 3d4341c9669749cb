#include "InterruptCleanup.h"

#include <climits>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

const int interrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Written before the handler can run: the handler itself may not allocate. A path the system
// accepted fits.
char watched[PATH_MAX];

sigset_t interruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : interrupts)
        sigaddset(&set, signal);
    return set;
}

void removeAndDie(int signal) {
    if (watched[0] != '\0')
        unlink(watched);
    // The default action is back (SA_RESETHAND): raised again, the signal ends the tool as soon
    // as the handler returns.
    raise(signal);
}

void installOnce() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = removeAndDie;
    action.sa_mask = interruptSet(); // a second interrupt waits until the file is gone
    action.sa_flags = SA_RESETHAND;
    for (int signal : interrupts) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

} // namespace

InterruptCleanup::Hold::Hold() {
    const sigset_t set = interruptSet();
    pthread_sigmask(SIG_BLOCK, &set, &m_previous);
}

InterruptCleanup::Hold::~Hold() {
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

void InterruptCleanup::watch(const std::string &path) {
    installOnce();
    const std::size_t length = path.size() < sizeof watched ? path.size() : 0;
    std::memcpy(watched, path.data(), length);
    watched[length] = '\0';
}
