#include "platform/Platform.h"

#include <atomic>

#include "platform/HostPlatform.h"

namespace kv {
namespace {
std::atomic<Platform*> installed{nullptr};
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
