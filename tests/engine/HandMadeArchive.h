#pragma once
// Archives built entry by entry for the engine tests: real gzip members made by
// the member codec, records encoded by the format module, and ways to damage either
// (a payload byte changed, a CompressedSize that runs past the end).

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ArchiveFormat.h"

namespace kv::test {

struct HandEntry {
    HandEntry(std::string f, std::string n, std::string c)
        : folder(std::move(f)), fileName(std::move(n)), content(std::move(c)) {}
    std::string folder;  // "C:\Docs\"
    std::string fileName;
    std::string content;                    // the file's bytes
    std::optional<int64_t> compressedSize;  // stored instead of the payload's size
    std::optional<int64_t> fileSize;        // stored instead of the content's size
    bool corruptPayload = false;            // flip a byte in the middle of the deflate data
};

// Writes an archive (Windows path) holding the entries in order; returns each
// entry's offset.
std::vector<int64_t> writeHandArchive(const std::string& path,
                                      const std::vector<HandEntry>& entries,
                                      const std::string& comment = "",
                                      format::Version version = format::Version::V1);

// Whole-file helpers over Windows paths (throw on failure).
void writeWinFile(const std::string& path, const std::string& bytes);
std::string readWinFile(const std::string& path);

}  // namespace kv::test
