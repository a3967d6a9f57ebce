#include "engine/MemberPool.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace kv {

namespace {

constexpr int MaxThreads = 64;

}  // namespace

int archiveThreads(int requested) {
    int threads = requested;
    if (threads < 1) {
        if (const char* value = std::getenv("KORVELT_THREADS")) {
            int parsed = 0;
            const char* end = value + std::strlen(value);
            const auto [stop, error] = std::from_chars(value, end, parsed);
            if (error == std::errc() && stop == end) threads = parsed;
        }
    }
    if (threads < 1) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, MaxThreads);
}

class MemberPool::Job {
  public:
    explicit Job(MemberRequest r) : request(std::move(r)) {}

    const MemberRequest request;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> percents;  // progress events not handed over yet
    bool done = false;
    FileMember member;
};

MemberPool::MemberPool(int threads, const MemberMaker& maker) : maker_(maker) {
    const std::size_t count = static_cast<std::size_t>(std::max(1, threads));
    running_.resize(count);
    try {
        for (std::size_t slot = 0; slot < count; ++slot)
            workers_.emplace_back([this, slot] { work(slot); });
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        throw;
    }
}

MemberPool::~MemberPool() {
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
}

std::shared_ptr<MemberPool::Job> MemberPool::submit(const MemberRequest& request) {
    auto job = std::make_shared<Job>(request);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(job);
    }
    wake_.notify_one();
    return job;
}

void MemberPool::work(std::size_t slot) {
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
        FileMember member;
        try {
            member = maker_.make(job->request, job->stop, [&job](int percent) {
                std::lock_guard lock(job->mutex);
                job->percents.push_back(percent);
                job->changed.notify_all();
            });
        } catch (const std::exception& e) {
            member = FileMember();
            member.outcome = FileMember::Outcome::Failed;
            member.error = e.what();
        }
        {
            std::lock_guard lock(job->mutex);
            job->member = std::move(member);
            job->done = true;
            job->changed.notify_all();
        }
        std::lock_guard lock(mutex_);
        running_[slot].reset();
    }
}

FileMember MemberPool::take(Job& job, const MemberMaker::Progress& progress) {
    std::unique_lock lock(job.mutex);
    for (;;) {
        job.changed.wait(lock, [&job] { return job.done || !job.percents.empty(); });
        if (job.percents.empty()) return std::move(job.member);
        std::vector<int> events;
        events.swap(job.percents);
        lock.unlock();
        if (progress)
            for (int percent : events) progress(percent);
        lock.lock();
    }
}

void MemberPool::drop(Job& job) {
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
    job.member = FileMember();
}

}  // namespace kv
