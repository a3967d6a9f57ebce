#pragma once
// One open file read by several threads at once: the old archive of an
// archiving run, whose members the workers check while the run copies
// entries out of it. Each reader is a File of its own with its own position;
// every read seeks and reads the one handle under one lock, so every thread
// reads the same file, whatever happens to its name meanwhile.
//
//   SharedReader old(platform().open(archive, OpenMode::Read));
//   std::unique_ptr<File> mine = old.reader();     // one per thread
//   mine->seek(at); mine->read(buffer, n);
//
// Readers must not outlive the SharedReader. Readers never write.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

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
    // Closes the handle; readers then fail. False when the close reported an error.
    bool close();

  private:
    class Reader;
    std::mutex mutex_;
    std::unique_ptr<File> file_;
};

}  // namespace kv
