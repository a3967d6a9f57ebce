#include "engine/BufferedReader.h"

#include <algorithm>

namespace kv {

namespace {

constexpr int64_t LargeBlock = 256 * 1024;
// Enough for a record and the start of the next one after a small payload.
constexpr int64_t SmallBlock = 4096;

}  // namespace

BufferedReader::BufferedReader(File& file) : file_(file), size_(file.size()), buffer_(LargeBlock) {}

int64_t BufferedReader::read(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        if (position_ < blockStart_ || position_ >= blockStart_ + blockLength_) {
            if (!fill()) return -1;
            if (blockLength_ == 0) break;
        }
        const int64_t offset = position_ - blockStart_;
        const int64_t n = std::min(count - done, blockLength_ - offset);
        std::copy_n(buffer_.data() + offset, n, out + done);
        done += n;
        position_ += n;
    }
    return done;
}

bool BufferedReader::seek(int64_t position) {
    if (position < 0) return false;
    position_ = position;
    return true;
}

bool BufferedReader::fill() {
    // Skipped bytes fewer than a block's are read rather than sought past:
    // the walk goes over small entries.
    const int64_t skipped = position_ - (blockStart_ + blockLength_);
    const int64_t want = skipped >= 0 && skipped < LargeBlock ? LargeBlock : SmallBlock;
    blockStart_ = position_;
    blockLength_ = 0;
    if (!file_.seek(position_)) return false;
    while (blockLength_ < want) {
        const int64_t n = file_.read(buffer_.data() + blockLength_, want - blockLength_);
        if (n < 0) return false;
        if (n == 0) break;
        blockLength_ += n;
    }
    return true;
}

}  // namespace kv
