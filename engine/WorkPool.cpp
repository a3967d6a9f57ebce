#include "engine/WorkPool.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace kv {

namespace {

constexpr int MaxThreads = 64;

}  // namespace

int workerThreads(int requested) {
    int threads = requested;
    if (threads < 1) {
        if (const char* value = std::getenv("KORVELT_THREADS")) {
            int parsed = 0;
            const char* end = value + std::strlen(value);
            const auto [stop, error] = std::from_chars(value, end, parsed);
            if (error == std::errc() && stop == end) threads = parsed;
        }
    }
    if (threads < 1) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, MaxThreads);
}

}  // namespace kv
