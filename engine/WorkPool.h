#pragma once
// Worker threads that do the slow part of a run's rows ahead of the row in
// hand, while the run's own thread takes the results in its own order: the
// archiving runs make members (MemberMaker), restore and test inflate stored
// members. Nothing here reaches the user: a job's progress events wait in the
// job until the run's thread takes it, and are handed over there, in order,
// so every message, progress update and cancel check stays on the run's
// thread, as one thread gives them.
//
//   WorkPool<Request, Result> pool(2, work);       // work(request, stop, progress)
//   auto job = pool.submit(request);               // a worker starts on it
//   Result r = pool.take(*job, progress);          // waits, forwarding progress
//   pool.drop(*other);                             // not wanted: stopped and waited for
//
// Jobs start in the order they were submitted. The destructor stops every job
// not taken yet and waits for the workers; their results are destroyed.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kv {

// How many rows a run works on at once: requested when it is 1 or more, else
// KORVELT_THREADS when it holds a whole number of 1 or more, else the number
// of cores; at most 64.
int workerThreads(int requested);

template <typename Request, typename Result>
class WorkPool {
  public:
    using Progress = std::function<void(int percent)>;
    // Does one job. It reads stop now and then and ends early once it is set
    // (its result is then thrown away); progress, when it raises events, may
    // be called on the worker's thread. An exception it throws is thrown
    // again by take().
    using Work =
        std::function<Result(const Request&, const std::atomic<bool>& stop, const Progress&)>;

    class Job {
      public:
        explicit Job(Request r) : request(std::move(r)) {}
        Request request;  // the worker reads it; the pool never changes it once submitted

      private:
        friend class WorkPool;
        std::atomic<bool> stop{false};
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<int> percents;  // progress events not handed over yet
        bool done = false;
        Result result{};
        std::exception_ptr error;
    };

    // Starts threads workers (at least one). Throws std::system_error when no
    // thread can be started (none is left running).
    WorkPool(int threads, Work work) : work_(std::move(work)) {
        const std::size_t count = static_cast<std::size_t>(std::max(1, threads));
        running_.resize(count);
        try {
            for (std::size_t slot = 0; slot < count; ++slot)
                workers_.emplace_back([this, slot] { serve(slot); });
        } catch (...) {
            stopAll();
            throw;
        }
    }
    ~WorkPool() { stopAll(); }
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

    int threads() const { return static_cast<int>(workers_.size()); }

    // Queues a job.
    std::shared_ptr<Job> submit(Request request) {
        auto job = std::make_shared<Job>(std::move(request));
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(job);
        }
        wake_.notify_one();
        return job;
    }

    // Waits until the job is done, handing each of its progress events to
    // progress (when set) on the calling thread, in order, as they come; then
    // gives its result, or throws what its work threw. A job is taken once.
    Result take(Job& job, const Progress& progress) {
        std::unique_lock lock(job.mutex);
        for (;;) {
            job.changed.wait(lock, [&job] { return job.done || !job.percents.empty(); });
            if (job.percents.empty()) {
                if (job.error) std::rethrow_exception(std::exchange(job.error, nullptr));
                return std::move(job.result);
            }
            std::vector<int> events;
            events.swap(job.percents);
            lock.unlock();
            if (progress)
                for (int percent : events) progress(percent);
            lock.lock();
        }
    }

    // The job's result is not wanted: a queued job is taken off the queue, a
    // running one is stopped and waited for, so that no worker touches what
    // it works on any more when this returns; its result is destroyed.
    void drop(Job& job) {
        {
            std::lock_guard lock(mutex_);
            const auto queued = std::find_if(queue_.begin(), queue_.end(),
                                             [&job](const auto& q) { return q.get() == &job; });
            if (queued != queue_.end()) {
                queue_.erase(queued);
                return;
            }
            job.stop = true;
        }
        std::unique_lock lock(job.mutex);
        job.changed.wait(lock, [&job] { return job.done; });
        job.result = Result{};
        job.error = nullptr;
    }

  private:
    void serve(std::size_t slot) {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
                if (stopping_) return;
                job = std::move(queue_.front());
                queue_.pop_front();
                running_[slot] = job;
            }
            Result result{};
            std::exception_ptr error;
            try {
                result = work_(job->request, job->stop, [&job](int percent) {
                    std::lock_guard lock(job->mutex);
                    job->percents.push_back(percent);
                    job->changed.notify_all();
                });
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(job->mutex);
                job->result = std::move(result);
                job->error = error;
                job->done = true;
                job->changed.notify_all();
            }
            std::lock_guard lock(mutex_);
            running_[slot].reset();
        }
    }

    void stopAll() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            for (const auto& job : queue_) job->stop = true;
            queue_.clear();
            for (const auto& job : running_)
                if (job) job->stop = true;
        }
        wake_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        workers_.clear();
    }

    Work work_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::vector<std::shared_ptr<Job>> running_;  // by worker
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace kv
