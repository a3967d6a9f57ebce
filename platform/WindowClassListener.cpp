#include "platform/WindowClassListener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "platform/HostPlatform.h"

namespace kv {

WindowClassListener::WindowClassListener(const std::string& className) {
    const std::string name = windowClassSocketName(className);
    sockaddr_un addr;
    if (name.size() + 1 > sizeof addr.sun_path) return;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 || listen(fd, 8) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

WindowClassListener::~WindowClassListener() {
    if (fd_ >= 0) close(fd_);
}

bool WindowClassListener::takeCloseRequest() {
    if (fd_ < 0) return false;
    bool closeAsked = false;
    for (;;) {
        const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) break;
        // The request follows the connection at once; a peer that only looks
        // for the window hangs up without a word. A short wait covers both.
        std::string request;
        pollfd p{c, POLLIN, 0};
        while (request.find('\n') == std::string::npos && request.size() < 64 &&
               poll(&p, 1, 500) > 0) {
            char buffer[64];
            const ssize_t n = recv(c, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        if (request.rfind("CLOSE", 0) == 0) {
            closeAsked = true;
            static const char ok[] = "OK\n";
            (void)!send(c, ok, sizeof ok - 1, MSG_NOSIGNAL);
        }
        close(c);
    }
    return closeAsked;
}

}  // namespace kv
