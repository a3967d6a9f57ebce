#include "engine/FilesCache.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "engine/CatalogReader.h"
#include "engine/EntryExtract.h"
#include "platform/Platform.h"
#include "platform/TempFile.h"
#include "util/PathHelpers.h"

namespace kv {

namespace {

// The file's layout, little-endian: the magic, the archive's stamp, the
// length and bytes of its host path, the number of entries, the entries, and
// the CRC-32 of everything before it.
constexpr char Magic[12] = {'K', 'o', 'r', 'v', 'e', 'l', 't', 'F', 'C', '0', '0', '1'};
constexpr std::size_t StampSize = 32;
constexpr std::size_t EntrySize = 52;
// No archive path is longer (the host's own limit).
constexpr uint32_t MaxPathLength = 4096;
// The bytes read or written at a time.
constexpr std::size_t Block = std::size_t(64) << 10;

void put64(uint8_t* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t get64(const uint8_t* in) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | in[i];
    return v;
}
uint32_t get32(const uint8_t* in) {
    return in[0] | in[1] << 8 | in[2] << 16 | uint32_t(in[3]) << 24;
}

void putStamp(uint8_t* out, const ArchiveStamp& stamp) {
    put64(out, stamp.device);
    put64(out + 8, stamp.inode);
    put64(out + 16, static_cast<uint64_t>(stamp.size));
    put64(out + 24, static_cast<uint64_t>(stamp.lastWriteNs));
}

void putEntry(uint8_t* out, const CachedEntry& e) {
    put64(out, static_cast<uint64_t>(e.offset));
    put32(out + 8, e.crc);
    put64(out + 12, e.file.device);
    put64(out + 20, e.file.inode);
    put64(out + 28, static_cast<uint64_t>(e.file.size));
    put64(out + 36, static_cast<uint64_t>(e.file.lastWriteNs));
    put64(out + 44, static_cast<uint64_t>(e.file.changeNs));
}

CachedEntry getEntry(const uint8_t* in) {
    CachedEntry e;
    e.offset = static_cast<int64_t>(get64(in));
    e.crc = get32(in + 8);
    e.file.device = get64(in + 12);
    e.file.inode = get64(in + 20);
    e.file.size = static_cast<int64_t>(get64(in + 28));
    e.file.lastWriteNs = static_cast<int64_t>(get64(in + 36));
    e.file.changeNs = static_cast<int64_t>(get64(in + 44));
    return e;
}

// FNV-1a, 64 bits: the same name for the same path on every machine and in
// every version.
uint64_t pathHash(const std::string& text) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Reads exactly count bytes and adds them to the running CRC-32.
bool readCounted(File& file, uint8_t* buffer, std::size_t count, uLong& crc) {
    if (format::readFully(file, buffer, static_cast<int64_t>(count)) != static_cast<int64_t>(count))
        return false;
    crc = crc32(crc, buffer, static_cast<uInt>(count));
    return true;
}

// Writes through a block, keeping the CRC-32 of what went out.
class CountedWriter {
  public:
    explicit CountedWriter(File& file) : file_(file) { buffer_.reserve(Block); }
    void put(const uint8_t* data, std::size_t count) {
        crc_ = crc32(crc_, data, static_cast<uInt>(count));
        buffer_.insert(buffer_.end(), data, data + count);
        if (buffer_.size() >= Block) drain();
    }
    // Writes the CRC-32 and what is left; false when any write failed.
    bool finish() {
        uint8_t trailer[4];
        put32(trailer, static_cast<uint32_t>(crc_));
        buffer_.insert(buffer_.end(), trailer, trailer + 4);
        drain();
        return ok_;
    }

  private:
    void drain() {
        ok_ = ok_ && file_.write(buffer_.data(), static_cast<int64_t>(buffer_.size()));
        buffer_.clear();
    }
    File& file_;
    std::vector<uint8_t> buffer_;
    uLong crc_ = crc32(0, nullptr, 0);
    bool ok_ = true;
};

std::string cacheFolder() {
    const std::string base = platform().shellFolder("Local AppData");
    return base.empty() ? std::string() : WithBackslash(base) + "korvelt\\";
}

}  // namespace

std::optional<FileIdentity> identityOf(const PathInfo& info) {
    if (info.kind != PathInfo::Kind::File) return std::nullopt;
    return FileIdentity{info.device, info.inode, info.size, info.lastWriteNs, info.changeNs};
}

std::optional<FileIdentity> identityOf(const std::string& path) {
    return identityOf(platform().pathInfo(path));
}

std::string FilesCache::pathFor(const std::string& archive) {
    const std::optional<std::string> host = platform().toHost(archive);
    const std::string folder = cacheFolder();
    if (!host || folder.empty()) return {};
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.cache",
                  static_cast<unsigned long long>(pathHash(*host)));
    return folder + name;
}

FilesCache FilesCache::load(const std::string& archive) {
    FilesCache cache;
    const std::string path = pathFor(archive);
    const std::optional<std::string> host = platform().toHost(archive);
    if (path.empty() || !host) return cache;
    const std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
    if (!file) return cache;

    const int64_t size = file->size();
    uLong crc = crc32(0, nullptr, 0);
    std::array<uint8_t, sizeof Magic + StampSize + 4> head;
    if (size < 0 || !readCounted(*file, head.data(), head.size(), crc) ||
        std::memcmp(head.data(), Magic, sizeof Magic) != 0)
        return cache;
    const uint8_t* s = head.data() + sizeof Magic;
    const ArchiveStamp recorded{true, get64(s), get64(s + 8), static_cast<int64_t>(get64(s + 16)),
                                static_cast<int64_t>(get64(s + 24))};
    const uint32_t pathLength = get32(s + StampSize);
    if (pathLength != host->size() || pathLength > MaxPathLength) return cache;
    std::string recordedPath(pathLength, '\0');
    uint8_t countBytes[8];
    if (!readCounted(*file, reinterpret_cast<uint8_t*>(recordedPath.data()), pathLength, crc) ||
        recordedPath != *host || !readCounted(*file, countBytes, 8, crc))
        return cache;
    // The whole file must be what the count says: a cut or padded file is
    // damaged, and nothing is allocated for a count the file cannot hold.
    const uint64_t count = get64(countBytes);
    const int64_t head64 = static_cast<int64_t>(head.size() + pathLength + 8);
    if (count > static_cast<uint64_t>(size) / EntrySize ||
        head64 + static_cast<int64_t>(count * EntrySize) + 4 != size)
        return cache;
    if (ArchiveStampOf(archive) != recorded) return cache;

    std::vector<CachedEntry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    std::vector<uint8_t> buffer(Block / EntrySize * EntrySize);
    for (uint64_t left = count; left > 0;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<uint64_t>(left, buffer.size() / EntrySize));
        if (!readCounted(*file, buffer.data(), n * EntrySize, crc)) return cache;
        for (std::size_t i = 0; i < n; ++i)
            entries.push_back(getEntry(buffer.data() + i * EntrySize));
        left -= n;
    }
    uint8_t trailer[4];
    if (format::readFully(*file, trailer, 4) != 4 || get32(trailer) != static_cast<uint32_t>(crc))
        return cache;
    std::sort(entries.begin(), entries.end(),
              [](const CachedEntry& a, const CachedEntry& b) { return a.offset < b.offset; });
    cache.entries_ = std::move(entries);
    return cache;
}

bool FilesCache::save(const std::string& archive, const std::vector<CachedEntry>& entries) {
    const std::string path = pathFor(archive);
    const std::optional<std::string> host = platform().toHost(archive);
    const ArchiveStamp stamp = ArchiveStampOf(archive);
    if (path.empty() || !host || host->size() > MaxPathLength || !stamp.exists) return false;
    const std::string folder = FolderOf(path);
    if (!format::createFolderPath(folder)) return false;
    // What runs that were killed while they wrote a cache left behind.
    RemoveStaleTemporaries(folder);
    TempFile fresh = TempFile::beside(path);
    if (!fresh) return false;

    CountedWriter out(fresh.file());
    uint8_t head[sizeof Magic + StampSize + 4];
    std::memcpy(head, Magic, sizeof Magic);
    putStamp(head + sizeof Magic, stamp);
    put32(head + sizeof Magic + StampSize, static_cast<uint32_t>(host->size()));
    out.put(head, sizeof head);
    out.put(reinterpret_cast<const uint8_t*>(host->data()), host->size());
    uint8_t count[8];
    put64(count, entries.size());
    out.put(count, 8);
    uint8_t entry[EntrySize];
    for (const CachedEntry& e : entries) {
        putEntry(entry, e);
        out.put(entry, EntrySize);
    }
    return out.finish() && fresh.close() && fresh.renameTo(path);
}

const CachedEntry* FilesCache::at(int64_t offset) const {
    const auto found =
        std::lower_bound(entries_.begin(), entries_.end(), offset,
                         [](const CachedEntry& e, int64_t at) { return e.offset < at; });
    return found != entries_.end() && found->offset == offset ? &*found : nullptr;
}

bool FilesCache::knowsJust(const std::vector<CachedEntry>& entries) const {
    return entries.size() == entries_.size() &&
           std::all_of(entries.begin(), entries.end(), [this](const CachedEntry& entry) {
               const CachedEntry* known = at(entry.offset);
               return known && *known == entry;
           });
}

}  // namespace kv
