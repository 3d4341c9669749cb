// The program's test hook: when KQ7150FP_TEST_DRIVER names a shared library, that library is
// loaded once the application object exists and its kq7150fp_testDriverStart() is called.
// The end-to-end tests use it to drive the real program from inside, as a person would; a
// normal start has the variable unset and loads nothing.
#pragma once

#include <string>

namespace TestDriverHook {

// The environment variable and the function the library exports (extern "C", no arguments).
inline constexpr char kVariable[] = "KQ7150FP_TEST_DRIVER";
inline constexpr char kEntry[] = "kq7150fp_testDriverStart";

// Loads and starts the driver the environment names. Returns false, with the reason in error,
// when one is named but cannot be loaded or has no entry; true when none is named.
bool start(std::string &error);

} // namespace TestDriverHook
