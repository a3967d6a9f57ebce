#pragma once
// The archive carried at the end of a self-extracting program: a read-only
// File over the byte range [start, end) of the program's own file, where the
// 4-byte little-endian trailer at the very end gives start (the stub's size)
// and end is where the trailer begins. Positions and sizes are relative to the
// embedded archive, so the archive walker reads it like any archive file.

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kv::sfx {

class EmbeddedArchive : public File {
  public:
    ~EmbeddedArchive() override;

    // Opens the host file and reads its trailer. False, with a French message
    // in error, when the file cannot be read or the trailer points nowhere.
    bool open(const std::string& hostPath, std::string& error);

    int64_t read(void* buffer, int64_t count) override;
    int64_t readAt(int64_t position, void* buffer, int64_t count) override;  // pread()
    bool readsAtConcurrently() const override { return true; }
    bool write(const void* buffer, int64_t count) override;  // always false
    bool seek(int64_t position) override;
    int64_t position() override { return position_; }
    int64_t size() override { return length_; }
    bool close() override;

  private:
    int fd_ = -1;
    int64_t start_ = 0;
    int64_t length_ = 0;
    int64_t position_ = 0;
};

}  // namespace kv::sfx
