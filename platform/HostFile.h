#pragma once
// A File over a plain POSIX descriptor (64-bit offsets, no buffering).

#include "platform/Platform.h"

namespace kv {

class HostFile final : public File {
  public:
    // Opens hostPath in the given mode; nullptr when the host refuses or the
    // path is not a regular file (a folder, a device or a pipe is never
    // opened: reading a pipe or a disk device would hang or run away).
    static std::unique_ptr<HostFile> open(const std::string& hostPath, OpenMode mode);
    ~HostFile() override;

    int64_t read(void* buffer, int64_t count) override;
    bool write(const void* buffer, int64_t count) override;
    bool seek(int64_t position) override;
    int64_t position() override;
    int64_t size() override;
    bool close() override;

  private:
    explicit HostFile(int fd) : fd_(fd) {}
    int fd_;
    bool failed_ = false;  // a write failed: close() reports it too
};

}  // namespace kv
