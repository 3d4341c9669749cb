// The simulated libraries are called from C: an exception unwinding into a C caller ends the
// program, so every exported function runs its body through guarded() and turns an
// exception into the status a real library would return for the same trouble.
#pragma once

#include "visa.h"

#include <new>
#include <stdexcept>
#include <type_traits>

namespace kqsim {

// A failed or impossible allocation is the host running out of resources; anything else is
// a fault of the library itself.
inline ViStatus currentExceptionStatus() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return VI_ERROR_ALLOC;
    } catch (const std::length_error &) {
        return VI_ERROR_ALLOC;
    } catch (...) {
        return VI_ERROR_SYSTEM_ERROR;
    }
}

// For functions that return a status, or nothing.
template <class Body> auto guarded(Body &&body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        if constexpr (!std::is_void_v<decltype(body())>)
            return currentExceptionStatus();
    }
}

// For functions whose result is not a status: failure is returned instead.
template <class Result, class Body> Result guarded(Result failure, Body &&body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

} // namespace kqsim
