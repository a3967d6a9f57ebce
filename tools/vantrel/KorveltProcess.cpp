#include "tools/vantrel/KorveltProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Platform.h"

extern char** environ;

namespace kv::vantrel {

std::string korveltHostPath(const std::string& folder) {
    const std::optional<std::string> host = platform().toHost(folder);
    if (!host) return {};
    std::string base = *host;
    if (!base.empty() && base.back() != '/') base += '/';
    for (const char* name : {"Korvelt", "Korvelt.exe"}) {
        struct stat st;
        const std::string path = base + name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

pid_t startKorvelt(const std::string& folder) {
    const std::string program = korveltHostPath(folder);
    const std::optional<std::string> workFolder = platform().toHost(folder);
    if (program.empty() || !workFolder) return -1;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, workFolder->c_str());
    // The scheduler waits with its signals blocked; Korvelt gets none blocked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGHUP);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::string argument0 = program;
    std::string argument1 = "/AUTOSAVE";
    char* argv[] = {argument0.data(), argument1.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

RunEnd endOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return RunEnd{RunEnd::Kind::Exited, WEXITSTATUS(waitStatus)};
    if (WIFSIGNALED(waitStatus)) return RunEnd{RunEnd::Kind::Signalled, WTERMSIG(waitStatus)};
    return RunEnd{RunEnd::Kind::NotStarted, 0};
}

RunEnd runKorvelt(const std::string& folder) {
    const pid_t pid = startKorvelt(folder);
    if (pid < 0) return RunEnd{RunEnd::Kind::NotStarted, 0};
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return RunEnd{RunEnd::Kind::NotStarted, 0};
    return endOf(status);
}

}  // namespace kv::vantrel
