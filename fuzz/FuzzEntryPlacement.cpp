// Any stored folder and file name through the placement rules of restore and
// the extractor stub: whatever the entry holds, a destination they accept
// stays inside the chosen folder (or is a drive path for the stored folders),
// and the file name cannot climb out of it.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/EntryExtract.h"

using namespace kv::format;

namespace {

bool climbs(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = bytes.find('\0');
    EntryRecord record;
    record.folder = bytes.substr(0, cut);
    record.fileName = cut == std::string::npos ? std::string() : bytes.substr(cut + 1);
    const auto placement = static_cast<Placement>(data[0] % 3);
    const std::string chosen = "E:\\Dest\\";

    const auto folder = destinationFolder(record, placement, chosen);
    if (!folder) return 0;
    if (!isSafeFileName(record.fileName) || climbs(record.fileName) ||
        record.fileName.find_first_of("\\/:") != std::string::npos)
        std::abort();
    if (folder->empty() || folder->back() != '\\') std::abort();
    if (placement == Placement::Origin) {
        if (!isDrivePath(*folder)) std::abort();
    } else {
        if (folder->compare(0, chosen.size(), chosen) != 0 || climbs(folder->substr(chosen.size())))
            std::abort();
    }
    return 0;
}
