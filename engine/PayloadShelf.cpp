#include "engine/PayloadShelf.h"

namespace kv {

namespace {

// More than the members a run has in hand at once (the rows ahead and one
// per worker), so the shelf never makes a file twice; fewer than would
// strain the open files a process may have.
constexpr std::size_t MaxKept = 128;

}  // namespace

PayloadShelf::Payload& PayloadShelf::Payload::operator=(Payload&& other) noexcept {
    if (this != &other) {
        giveBack();
        temp_ = std::move(other.temp_);
        shelf_ = std::move(other.shelf_);
    }
    return *this;
}

PayloadShelf::Payload::~Payload() {
    giveBack();
}

void PayloadShelf::Payload::giveBack() {
    if (temp_ && shelf_) shelf_->put(std::move(temp_));
    temp_ = TempFile();
    shelf_.reset();
}

PayloadShelf::Payload PayloadShelf::take() {
    {
        std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            TempFile temp = std::move(free_.back());
            free_.pop_back();
            return Payload(std::move(temp), shared_from_this());
        }
    }
    TempFile temp(workFolder_, TempFile::PayloadStem);
    if (!temp) return Payload();
    return Payload(std::move(temp), shared_from_this());
}

void PayloadShelf::put(TempFile temp) {
    if (!temp.file().truncate(0)) return;  // removed as it goes out of scope
    std::lock_guard lock(mutex_);
    if (free_.size() < MaxKept) free_.push_back(std::move(temp));
}

}  // namespace kv
