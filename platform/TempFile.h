#pragma once
// The program's temporary files. Each one is created exclusively under a name
// no other file has and no other run will pick (stem + process id + a number of
// this process), readable and writable by this user only (0600), used through
// its open handle, and held with a shared lock for as long as it lives; it is
// removed on every path unless it was renamed into place. The lock is the
// witness that its owner still runs: a program that was killed leaves its
// temporaries unheld, and RemoveStaleTemporaries clears them.
//
//   TempFile payload(workFolder, TempFile::PayloadStem);  // "tempKVR-4242-1.tmp"
//   if (!payload) ...                                     // the folder takes no new file
//   write and read payload.file() ...
//   // going out of scope removes it
//
//   TempFile fresh(folder, TempFile::CopyStem);           // "~kvr4242-2.tmp"
//   write fresh.file() ...
//   if (fresh.close() && fresh.renameTo(target)) ...      // target replaced whole
//
// Paths are Windows paths through platform(); folders end in a backslash.

#include <memory>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace kv {

class TempFile {
  public:
    static constexpr const char* PayloadStem = "tempKVR-";  // a payload being compressed
    static constexpr const char* CopyStem = "~kvr";         // copies and replacements
    static constexpr const char* PreviewStem = "~kvv";      // preview copies (any extension)

    TempFile() = default;
    // Creates folder + stem + "<process id>-<n>" + extension. The object is
    // empty (false) when no new file can be made in the folder.
    TempFile(const std::string& folder, const std::string& stem,
             const std::string& extension = ".tmp");
    // A temporary in target's folder (CopyStem), to be renamed over target:
    // empty when target is a folder or read-only (a file the user keeps from
    // being written over), or when no new file can be made there.
    static TempFile beside(const std::string& target);
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();  // removes the file unless it was renamed into place

    explicit operator bool() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // The open handle, read and write (valid until close()).
    File& file() { return *file_; }

    // Closes the handle (the file stays held by a second, read-only one until
    // it is renamed or removed). False when the close reported an error: what
    // was written may not all be there.
    [[nodiscard]] bool close();
    // Puts the closed file in place of target for good (Platform::replaceFile):
    // flushed to the disk, renamed over target in one step, given target's
    // permissions (a new file's when there was none) and its folder flushed.
    // Every file the program replaces by a temporary goes through here. True
    // when target now is this file, which stops being a temporary; false when
    // the flush or the rename failed: target is as it was and the temporary is
    // still there. A link at target is replaced, not followed. permissionsOf,
    // when given, names the file whose permissions it takes instead of
    // target's (a file that stepped aside from target's name).
    [[nodiscard]] bool renameTo(const std::string& target, const std::string& permissionsOf = {});

  private:
    void removeNow();

    std::string path_;
    std::unique_ptr<File> file_;
    std::unique_ptr<File> hold_;  // keeps the lock between close() and renameTo()
};

// Removes the temporaries of this program in a folder ("tempKVR*.tmp",
// "~kvr*.tmp" and the preview copies "~kvv*") that no running program holds:
// those of a run that was killed, and the fixed-name ones of older versions.
// Only plain files of this user's are removed: files held by a live run,
// another user's, links, and anything else are left alone. Returns how many
// were removed.
int RemoveStaleTemporaries(const std::string& folder);

// Replaces a file by one holding bytes: a temporary beside it is written,
// closed and put in its place (TempFile::renameTo), so a failure (full disk, a
// folder that takes no new file) leaves the old file exactly as it was, and
// nothing behind. False on failure.
[[nodiscard]] bool ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace kv
