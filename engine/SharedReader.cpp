#include "engine/SharedReader.h"

namespace kv {

class SharedReader::Reader final : public File {
  public:
    Reader(SharedReader& shared, const std::atomic<bool>* stop) : shared_(shared), stop_(stop) {}

    int64_t read(void* buffer, int64_t count) override {
        if (stop_ && stop_->load(std::memory_order_relaxed)) return -1;
        const int64_t n = shared_.readAt(position_, buffer, count);
        if (n > 0) position_ += n;
        return n;
    }
    bool write(const void*, int64_t) override { return false; }
    bool seek(int64_t position) override {
        if (position < 0) return false;
        position_ = position;
        return true;
    }
    int64_t position() override { return position_; }
    int64_t size() override {
        std::shared_lock lock(shared_.mutex_);
        return shared_.file_ ? shared_.file_->size() : -1;
    }
    bool close() override { return true; }

  private:
    SharedReader& shared_;
    const std::atomic<bool>* stop_;
    int64_t position_ = 0;
};

SharedReader::SharedReader(std::unique_ptr<File> file)
    : file_(std::move(file)), concurrent_(file_ && file_->readsAtConcurrently()) {}

std::unique_ptr<File> SharedReader::reader(const std::atomic<bool>* stop) {
    return std::make_unique<Reader>(*this, stop);
}

int64_t SharedReader::readAt(int64_t position, void* buffer, int64_t count) {
    if (concurrent_) {
        std::shared_lock lock(mutex_);
        return file_ ? file_->readAt(position, buffer, count) : -1;
    }
    std::lock_guard lock(mutex_);
    return file_ ? file_->readAt(position, buffer, count) : -1;
}

bool SharedReader::appendTo(File& destination, int64_t from, int64_t count) {
    if (concurrent_) {
        std::shared_lock lock(mutex_);
        return file_ && destination.appendFrom(*file_, from, count);
    }
    std::lock_guard lock(mutex_);
    return file_ && destination.appendFrom(*file_, from, count);
}

bool SharedReader::close() {
    std::lock_guard lock(mutex_);
    if (!file_) return true;
    const bool closed = file_->close();
    file_.reset();
    return closed;
}

}  // namespace kv
