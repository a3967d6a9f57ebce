#pragma once
// A bounds-checked cursor over the bytes of a file, shared by the decoders.
// Every read either succeeds whole or fails (false, nothing consumed), so a
// decoder never reads past the end of what it was given.

#include <cstddef>
#include <cstdint>

namespace kv::codecs {

inline uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t be16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}
inline uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

class ByteReader {
  public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t size() const { return size_; }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return size_ - pos_; }
    const uint8_t* data() const { return data_; }

    // Moves to an absolute offset; false when it lies beyond the end.
    bool seek(uint64_t offset) {
        if (offset > size_) return false;
        pos_ = static_cast<std::size_t>(offset);
        return true;
    }
    bool skip(uint64_t n) {
        if (n > remaining()) return false;
        pos_ += static_cast<std::size_t>(n);
        return true;
    }
    // The next n bytes, consumed; nullptr when fewer remain.
    const uint8_t* take(uint64_t n) {
        if (n > remaining()) return nullptr;
        const uint8_t* p = data_ + pos_;
        pos_ += static_cast<std::size_t>(n);
        return p;
    }
    bool u8(uint8_t& v) {
        if (remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool le16(uint16_t& v) { return read(v, 2, &codecs::le16); }
    bool le32(uint32_t& v) { return read(v, 4, &codecs::le32); }
    bool be16(uint16_t& v) { return read(v, 2, &codecs::be16); }
    bool be32(uint32_t& v) { return read(v, 4, &codecs::be32); }

  private:
    template <class T, class F>
    bool read(T& v, std::size_t n, F f) {
        if (remaining() < n) return false;
        v = f(data_ + pos_);
        pos_ += n;
        return true;
    }

    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace kv::codecs
