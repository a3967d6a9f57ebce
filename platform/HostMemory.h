#pragma once
// A block of memory for a large short-lived buffer: from 256 KiB on it is
// taken straight from the host and given back to it when the block ends, so
// that it does not stay in the allocator's per-thread pools once used (with
// many threads those would keep the program's memory at its highest); a
// smaller one comes from the allocator. Contents are undefined.
//
//   HostMemory block(size);
//   if (!block) ...                      // the host had no memory to give
//   uint8_t* bytes = block.data();

#include <cstddef>
#include <cstdint>

namespace kv {

class HostMemory {
  public:
    explicit HostMemory(std::size_t size);
    ~HostMemory();
    HostMemory(const HostMemory&) = delete;
    HostMemory& operator=(const HostMemory&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

  private:
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

}  // namespace kv
