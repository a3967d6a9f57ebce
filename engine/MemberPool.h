#pragma once
// The worker threads of an archiving run: they make the members of the rows
// ahead of the row in hand (MemberMaker), one file per thread at a time, in the
// order the jobs were queued, while the run's own thread appends them in
// catalog order. Nothing here reaches the user: a job's progress events wait
// in the job until the run's thread takes it, and are handed over there, in
// order, so every message, progress update and cancel check stays on the
// run's thread.
//
//   MemberPool pool(2, maker);
//   auto job = pool.submit(request);            // a worker starts on it
//   FileMember member = pool.take(*job, progress);  // waits, forwarding progress
//   pool.drop(*other);                          // not wanted: stopped and waited for
//
// The destructor stops every job not taken yet and waits for the workers.

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/MemberMaker.h"

namespace kv {

// How many members an archiving run makes at once: requested when it is 1 or
// more, else KORVELT_THREADS when it holds a whole number of 1 or more, else
// the number of cores; at most 64.
int archiveThreads(int requested);

class MemberPool {
  public:
    class Job;

    // Starts threads workers (at least one) that make members with maker,
    // which must outlive the pool.
    MemberPool(int threads, const MemberMaker& maker);
    ~MemberPool();
    MemberPool(const MemberPool&) = delete;
    MemberPool& operator=(const MemberPool&) = delete;

    int threads() const { return static_cast<int>(workers_.size()); }

    // Queues the making of request's member.
    std::shared_ptr<Job> submit(const MemberRequest& request);

    // Waits until the job is done, handing each of its progress events to
    // progress (when set) on the calling thread, in order, as they come; then
    // gives its member. A job is taken once.
    FileMember take(Job& job, const MemberMaker::Progress& progress);

    // The job's member is not wanted: a queued job is taken off the queue, a
    // running one is stopped and waited for, so that no worker touches its
    // file any more when this returns. Its payload temporary is removed.
    void drop(Job& job);

  private:
    void work(std::size_t slot);

    const MemberMaker& maker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::vector<std::shared_ptr<Job>> running_;  // by worker
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace kv
