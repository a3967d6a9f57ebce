#pragma once
// A read-only view of an open file for a walk over an archive's records: reads
// are served from a block of the file, so a walk over many small entries costs
// one host read per block instead of a seek and a read per record. A read a
// little past the block reads a large one; one far past it (over a large
// payload) reads a small one, so a walk over large entries does not read
// their payloads. Seeks cost nothing. The file must outlive the view and must
// not be written meanwhile.

#include <cstdint>
#include <vector>

#include "platform/Platform.h"

namespace kv {

class BufferedReader final : public File {
  public:
    explicit BufferedReader(File& file);

    int64_t read(void* buffer, int64_t count) override;
    bool write(const void*, int64_t) override { return false; }
    bool seek(int64_t position) override;
    int64_t position() override { return position_; }
    int64_t size() override { return size_; }
    bool close() override { return file_.close(); }

  private:
    bool fill();

    File& file_;
    int64_t size_;
    std::vector<uint8_t> buffer_;
    int64_t blockStart_ = 0;
    int64_t blockLength_ = 0;
    int64_t position_ = 0;
};

}  // namespace kv
