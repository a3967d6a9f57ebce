#pragma once
// A kv::File over a byte vector, for tests and fuzz targets that feed the
// format module or the gzip reader without touching the disk. Reads may be
// capped per call (to exercise short-read handling), and a read or write
// error may be set to strike once the position passes a given offset (a
// write that would pass it writes nothing: a full disk).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace kv::test {

class MemoryFile : public File {
  public:
    MemoryFile() = default;
    explicit MemoryFile(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::vector<uint8_t>& bytes() { return bytes_; }
    void capReadsAt(int64_t count) { readCap_ = count; }
    void failReadsPast(int64_t offset) { failPast_ = offset; }
    void failWritesPast(int64_t offset) { failWritesPast_ = offset; }

    int64_t read(void* buffer, int64_t count) override {
        if (failPast_ >= 0 && position_ + count > failPast_) return -1;
        const int64_t left = std::max<int64_t>(0, int64_t(bytes_.size()) - position_);
        const int64_t n = std::min({count, left, readCap_});
        if (n > 0) std::memcpy(buffer, bytes_.data() + position_, size_t(n));
        position_ += n;
        return n;
    }
    bool write(const void* buffer, int64_t count) override {
        if (count <= 0) return count == 0;
        if (failWritesPast_ >= 0 && position_ + count > failWritesPast_) return false;
        if (position_ + count > int64_t(bytes_.size())) bytes_.resize(size_t(position_ + count));
        std::memcpy(bytes_.data() + position_, buffer, size_t(count));
        position_ += count;
        return true;
    }
    bool seek(int64_t position) override {
        if (position < 0) return false;
        position_ = position;
        return true;
    }
    int64_t position() override { return position_; }
    int64_t size() override { return int64_t(bytes_.size()); }
    bool close() override { return true; }

  private:
    std::vector<uint8_t> bytes_;
    int64_t position_ = 0;
    int64_t readCap_ = INT64_MAX;
    int64_t failPast_ = -1;
    int64_t failWritesPast_ = -1;
};

}  // namespace kv::test
