#include "platform/Platform.h"

#include <atomic>

#include "platform/HostNames.h"
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

std::string Platform::trueCase(const std::string& windowsPath) {
    // The host path keeps the letter's own root, so the drive stays the one
    // given even where another drive's root lies below it.
    const std::optional<std::string> host = toHost(windowsPath);
    const std::optional<Drive> root = host ? drive(windowsPath[0]) : std::nullopt;
    if (!root || host->compare(0, root->hostRoot.size(), root->hostRoot) != 0) return windowsPath;
    std::string path = std::string(1, root->letter) + ":\\";
    const std::string rest = host->substr(root->hostRoot.size());
    std::size_t at = 0;
    while (at < rest.size()) {
        std::size_t end = rest.find('/', at);
        if (end == std::string::npos) end = rest.size();
        if (end > at) {
            const std::optional<std::string> name =
                hostnames::toWindowsName(std::string_view(rest).substr(at, end - at));
            if (!name) return windowsPath;
            path += *name;
            path += '\\';
        }
        at = end + 1;
    }
    // The final backslash stays only where the path had one.
    if (path.size() > 3 && rest.back() != '/') path.pop_back();
    return path;
}

void setHostDriveMap(std::vector<Drive> drives) {
    hostPlatform().setDriveMap(std::move(drives));
}

void resetHostDriveMap() {
    hostPlatform().resetDriveMap();
}

}  // namespace kv
