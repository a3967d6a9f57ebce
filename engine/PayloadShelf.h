#pragma once
// The payload temporaries of one archiving run, used again from one member to
// the next. Each member is compressed into a temporary of the Work folder
// ("tempKVR-<pid>-<n>.tmp", platform/TempFile.h), its own while it is being
// made and appended to the new archive. Creating and removing a file costs more than
// compressing a small one, so once a member has been appended (or thrown
// away) its temporary is emptied and goes back on the shelf, where the next
// member takes it. The temporaries on the shelf stay held, so no cleaner
// takes them for leftovers; they are removed when the shelf and the last
// payload taken from it are gone.
//
//   auto shelf = std::make_shared<PayloadShelf>(workFolder);
//   PayloadShelf::Payload payload = shelf->take();
//   if (!payload) ...             // the folder takes no new file
//   compress into payload.file() ...
//   // going out of scope puts it back, emptied
//
// Safe to use from several threads at once.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/TempFile.h"

namespace kv {

class PayloadShelf : public std::enable_shared_from_this<PayloadShelf> {
  public:
    // One payload temporary, empty and at position 0, until it goes back.
    class Payload {
      public:
        Payload() = default;
        Payload(Payload&& other) noexcept = default;
        Payload& operator=(Payload&& other) noexcept;
        Payload(const Payload&) = delete;
        Payload& operator=(const Payload&) = delete;
        ~Payload();

        explicit operator bool() const { return static_cast<bool>(temp_); }
        File& file() { return temp_.file(); }

      private:
        friend class PayloadShelf;
        Payload(TempFile temp, std::shared_ptr<PayloadShelf> shelf)
            : temp_(std::move(temp)), shelf_(std::move(shelf)) {}
        void giveBack();

        TempFile temp_;
        std::shared_ptr<PayloadShelf> shelf_;
    };

    explicit PayloadShelf(std::string workFolder) : workFolder_(std::move(workFolder)) {}

    // A temporary from the shelf, or a new one; empty (false) when the shelf
    // has none and the Work folder takes no new file.
    Payload take();

  private:
    // Empties temp and keeps it for the next take(); a temporary that cannot
    // be emptied, or one past what the shelf keeps, is removed.
    void put(TempFile temp);

    const std::string workFolder_;
    std::mutex mutex_;
    std::vector<TempFile> free_;
};

}  // namespace kv
