#pragma once
// The scheduler at work: it owns the window class "TFormVantrel" (so that
// Korvelt finds it and closes it), sleeps until the next planned run on a
// wall-clock timer (which also fires at once when the machine wakes up past
// it), reads AutoSave.cfg again whenever the file changes, starts Korvelt
// when a run is due and writes the run's outcome when Korvelt ends. It never
// starts a run while one is going. Between runs it only waits in poll(): no
// polling, no CPU.

#include "tools/vantrel/Scheduler.h"

namespace kv::vantrel {

class Daemon {
  public:
    explicit Daemon(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~Daemon();
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Runs until the close message, SIGTERM, SIGINT or SIGHUP: 0. A second
    // scheduler of the same user finds the first and ends at once with 0;
    // 1 when the window class, the timer or the signals cannot be set up.
    int serve();

  private:
    bool setUp();
    // Starts the run that is due, else sets the timer to the next planned run.
    void plan();
    void childEnded();
    void watchSettings();

    Scheduler& scheduler_;
    int timerFd_ = -1;
    int signalFd_ = -1;
    int watchFd_ = -1;
    int running_ = -1;  // Korvelt's process id while a run goes on
    std::time_t runStart_ = 0;
    long long runStartSteady_ = 0;
};

}  // namespace kv::vantrel
