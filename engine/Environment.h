#pragma once
// What the engine takes from the machine it runs on rather than from the user's
// archive or choices: the locale's separators, read once at start-up, and the
// clock. Tests pin both.

#include <functional>

#include "util/Format.h"

namespace kv {

struct Environment {
    LocaleSeparators separators;               // the user's locale
    std::function<DateTime()> now = localNow;  // the clock (tests inject their own)
};

}  // namespace kv
