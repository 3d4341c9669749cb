#include "TestDriverHook.h"

#include <cstdlib>
#include <dlfcn.h>

namespace TestDriverHook {

bool start(std::string &error) {
    const char *path = std::getenv(kVariable);
    if (!path || !*path)
        return true;
    // Never closed: the driver's thread and exit handlers run until the program ends.
    void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = std::string("Cannot load the test driver \"") + path + "\": " + dlerror();
        return false;
    }
    auto entry = reinterpret_cast<void (*)()>(dlsym(library, kEntry));
    if (!entry) {
        error = std::string("The test driver \"") + path + "\" has no function " + kEntry + ".";
        return false;
    }
    entry();
    return true;
}

} // namespace TestDriverHook
