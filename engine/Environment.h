#pragma once
// What the engine takes from the machine it runs on rather than from the user's
// archive or choices: the locale's separators, read once at start-up, and the
// clock. Tests pin both.

#include <chrono>
#include <cstdint>
#include <functional>

#include "util/Format.h"

namespace kv {

// The host's wall clock now, in nanoseconds since 1970 (UTC).
inline int64_t wallClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct Environment {
    LocaleSeparators separators;               // the user's locale
    std::function<DateTime()> now = localNow;  // the clock (tests inject their own)
    // The wall clock, in nanoseconds since 1970 (UTC), against which the files
    // cache judges whether a file changed too lately for its times to vouch
    // for its bytes (tests run it ahead).
    std::function<int64_t()> clockNs = wallClockNs;
};

}  // namespace kv
