#pragma once
// A File over a plain POSIX descriptor (64-bit offsets, no buffering).

#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace kv {

// What a stat() of a file says, as PathInfo gives it: its kind, identity,
// size and times (Denied is for the caller to say).
PathInfo pathInfoOf(const struct stat& st);

class HostFile final : public File {
  public:
    // Opens hostPath in the given mode; nullptr when the host refuses or the
    // path is not a regular file (a folder, a device or a pipe is never
    // opened: reading a pipe or a disk device would hang or run away).
    // knownRegular: the caller has just seen a regular file there, so the
    // check before the open is not made again (the one after it still is).
    static std::unique_ptr<HostFile> open(const std::string& hostPath, OpenMode mode,
                                          bool knownRegular = false);
    // Takes over a descriptor already open on the regular file at hostPath.
    static std::unique_ptr<HostFile> adopt(int fd, std::string hostPath);
    ~HostFile() override;

    int64_t read(void* buffer, int64_t count) override;
    bool write(const void* buffer, int64_t count) override;
    bool seek(int64_t position) override;
    int64_t position() override;
    int64_t size() override;
    int64_t readAt(int64_t position, void* buffer, int64_t count) override;  // pread()
    bool readsAtConcurrently() const override { return true; }
    bool appendFrom(File& source, int64_t from, int64_t count) override;  // copy_file_range()
    bool truncate(int64_t size) override;                                 // ftruncate()
    bool close() override;
    // flock(): the lock belongs to this open file and goes with its descriptor.
    bool lock(LockKind kind) override;
    bool setLastWriteDos(int32_t dosDateTime) override;         // futimens()
    bool setPermissions(uint32_t permissions) override;         // fchmod()
    bool flush() override;                                      // fdatasync()
    void startWriteback(int64_t from, int64_t count) override;  // sync_file_range()
    PathInfo info() override;                                   // fstat()
    PathInfo openedInfo() override;  // the fstat() of open(), else as info()

  private:
    HostFile(int fd, std::string hostPath) : fd_(fd), hostPath_(std::move(hostPath)) {}
    int fd_;
    std::optional<PathInfo> opened_;  // open(): the file as its check after the open saw it
    std::string hostPath_;  // the name it was opened under (lock() checks it still leads here)
    bool failed_ = false;   // a write failed: close() reports it too
};

}  // namespace kv
