#include "tools/vantrel/Daemon.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <memory>
#include <thread>

#include "platform/Platform.h"
#include "platform/WindowClassListener.h"
#include "text/Text.h"
#include "tools/vantrel/KorveltProcess.h"
#include "util/PathHelpers.h"

namespace kv::vantrel {

namespace {

constexpr const char* WindowClass = "TFormVantrel";

long long steadySeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

sigset_t handledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, s);
    return set;
}

// The window class, taken over from a scheduler that is closing: it answers
// the close message before it lets the class go, so a start right after it
// tries again for a moment before it takes the class for another's.
std::unique_ptr<WindowClassListener> takeWindowClass() {
    for (int attempt = 0;; ++attempt) {
        auto listener = std::make_unique<WindowClassListener>(WindowClass);
        if (listener->listening() || attempt >= 20) return listener;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace

Daemon::~Daemon() {
    for (int fd : {timerFd_, signalFd_, watchFd_})
        if (fd >= 0) close(fd);
}

bool Daemon::setUp() {
    const sigset_t signals = handledSignals();
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return false;
    signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    timerFd_ = timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (signalFd_ < 0 || timerFd_ < 0) return false;
    watchSettings();
    return true;
}

void Daemon::watchSettings() {
    // The options rewrite AutoSave.cfg beside it and rename it over it; a
    // watch on the folder sees that as on any other way the file changes.
    const std::optional<std::string> folder =
        platform().toHost(FolderOf(scheduler_.settingsPath()));
    if (!folder) return;
    watchFd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watchFd_ < 0) return;
    if (inotify_add_watch(watchFd_, folder->c_str(),
                          IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE) <
        0) {
        close(watchFd_);
        watchFd_ = -1;
    }
}

void Daemon::plan() {
    itimerspec none{};
    timerfd_settime(timerFd_, 0, &none, nullptr);
    if (running_ > 0) return;
    for (;;) {
        const std::time_t now = std::time(nullptr);
        if (!scheduler_.dueRun(now)) break;
        if (!scheduler_.beginRun(now)) continue;  // not launched: its lines are written
        const pid_t pid = startKorvelt(scheduler_.folder());
        if (pid < 0) {
            scheduler_.finishRun(now, RunEnd{RunEnd::Kind::NotStarted, 0}, 0);
            continue;
        }
        running_ = pid;
        runStart_ = now;
        runStartSteady_ = steadySeconds();
        return;
    }
    const std::optional<std::time_t> next = scheduler_.nextRun(std::time(nullptr));
    if (!next) return;
    itimerspec at{};
    at.it_value.tv_sec = *next;
    timerfd_settime(timerFd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &at, nullptr);
}

void Daemon::childEnded() {
    if (running_ <= 0) return;
    int status = 0;
    const pid_t ended = waitpid(running_, &status, WNOHANG);
    if (ended != running_) return;
    running_ = -1;
    scheduler_.finishRun(std::time(nullptr), endOf(status), steadySeconds() - runStartSteady_);
    plan();
}

int Daemon::serve() {
    const std::unique_ptr<WindowClassListener> listener = takeWindowClass();
    if (!listener->listening()) {
        if (platform().findWindowClass(WindowClass)) return 0;
        std::cerr << "Impossible de démarrer l'automate : la fenêtre " << WindowClass
                  << " ne peut pas être créée.\n";
        return 1;
    }
    if (!setUp()) {
        std::cerr << "Impossible de démarrer l'automate : " << std::strerror(errno) << '\n';
        return 1;
    }
    plan();

    auto stop = [this] {
        if (running_ > 0)
            scheduler_.finishRun(std::time(nullptr), RunEnd{RunEnd::Kind::Abandoned, 0},
                                 steadySeconds() - runStartSteady_);
        return 0;
    };
    for (;;) {
        pollfd fds[4] = {{listener->fd(), POLLIN, 0},
                         {timerFd_, POLLIN, 0},
                         {signalFd_, POLLIN, 0},
                         {watchFd_, POLLIN, 0}};
        const int ready = poll(fds, watchFd_ >= 0 ? 4 : 3, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return stop();
        }
        if (fds[0].revents && listener->takeCloseRequest()) return stop();
        if (fds[2].revents) {
            signalfd_siginfo info;
            bool ended = false;
            while (read(signalFd_, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGCHLD)
                    ended = true;
                else
                    return stop();
            }
            if (ended) childEnded();
        }
        bool replan = false;
        if (fds[1].revents) {
            // Expired, or the clock was set (ECANCELED): plan again either way.
            uint64_t expirations = 0;
            (void)!read(timerFd_, &expirations, sizeof expirations);
            replan = true;
        }
        if (watchFd_ >= 0 && fds[3].revents) {
            alignas(inotify_event) char buffer[4096];
            ssize_t got;
            while ((got = read(watchFd_, buffer, sizeof buffer)) > 0) {
                for (ssize_t at = 0; at < got;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    if (event->len > 0 && text::equalNoCase(event->name, "AutoSave.cfg"))
                        replan = true;
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                }
            }
        }
        if (replan) plan();
    }
}

}  // namespace kv::vantrel
