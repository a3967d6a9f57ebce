#pragma once
// One open file read by several threads at once: the old archive of an
// archiving run, whose members the workers check while the run copies
// entries out of it. Each reader is a File of its own with its own position;
// every read is a positional read of the one handle (File::readAt), side by
// side with the others when the file allows it (a host file), else one at a
// time under a lock, so every thread reads the same file, whatever happens to
// its name meanwhile.
//
//   SharedReader old(platform().open(archive, OpenMode::Read));
//   std::unique_ptr<File> mine = old.reader();     // one per thread
//   mine->seek(at); mine->read(buffer, n);
//
// Readers must not outlive the SharedReader. Readers never write.

#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>

#include "platform/Platform.h"

namespace kv {

class SharedReader {
  public:
    explicit SharedReader(std::unique_ptr<File> file);
    SharedReader(const SharedReader&) = delete;
    SharedReader& operator=(const SharedReader&) = delete;

    // A reader positioned at 0. Its reads fail (-1) once *stop is true, so a
    // check that is no longer wanted ends at its next read.
    std::unique_ptr<File> reader(const std::atomic<bool>* stop = nullptr);
    // Appends count bytes of the file, from `from` on, at destination's
    // current position (File::appendFrom: by the kernel between host files),
    // side by side with the readers. False as appendFrom, or once closed.
    bool appendTo(File& destination, int64_t from, int64_t count);
    // Closes the handle; readers then fail. False when the close reported an error.
    bool close();

  private:
    class Reader;
    int64_t readAt(int64_t position, void* buffer, int64_t count);

    std::shared_mutex mutex_;  // shared by readers, held alone by close()
    std::unique_ptr<File> file_;
    bool concurrent_;  // the file's readAt may run on several threads at once
};

}  // namespace kv
