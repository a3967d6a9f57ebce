#include "platform/HostMemory.h"

#include <sys/mman.h>

#include <new>

namespace kv {

namespace {

constexpr std::size_t MappedFrom = std::size_t(256) << 10;

}  // namespace

HostMemory::HostMemory(std::size_t size) : size_(size == 0 ? 1 : size) {
    if (size_ < MappedFrom) {
        data_ = new (std::nothrow) uint8_t[size_];
        return;
    }
    void* block = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (block == MAP_FAILED) return;
    data_ = static_cast<uint8_t*>(block);
    mapped_ = true;
}

HostMemory::~HostMemory() {
    if (mapped_)
        ::munmap(data_, size_);
    else
        delete[] data_;
}

}  // namespace kv
