#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/HostPlatform.h"

namespace kv {
namespace {
std::atomic<Platform*> installed{nullptr};
}

bool File::appendFrom(File& source, int64_t from, int64_t count) {
    constexpr int64_t Block = int64_t(256) << 10;
    if (count <= 0 || from < 0) return count == 0 && from >= 0;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(std::min(count, Block)));
    while (count > 0) {
        const int64_t want = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        const int64_t n = source.readAt(from, buffer.data(), want);
        if (n <= 0 || !write(buffer.data(), n)) return false;
        from += n;
        count -= n;
    }
    return true;
}

Platform& platform() {
    Platform* p = installed.load(std::memory_order_acquire);
    return p ? *p : hostPlatform();
}

void setPlatform(Platform* replacement) {
    installed.store(replacement, std::memory_order_release);
}

void setHostDriveMap(std::vector<Drive> drives) {
    hostPlatform().setDriveMap(std::move(drives));
}

void resetHostDriveMap() {
    hostPlatform().resetDriveMap();
}

}  // namespace kv
