#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/HostNames.h"
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
