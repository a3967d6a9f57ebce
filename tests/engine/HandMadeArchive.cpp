#include "HandMadeArchive.h"

#include <stdexcept>

#include "engine/TGzip.h"
#include "platform/Platform.h"

namespace kv::test {

void writeWinFile(const std::string& path, const std::string& bytes) {
    auto file = platform().open(path, OpenMode::Create);
    if (!file ||
        (!bytes.empty() && !file->write(bytes.data(), static_cast<int64_t>(bytes.size()))) ||
        !file->close())
        throw std::runtime_error("cannot write " + path);
}

std::string readWinFile(const std::string& path) {
    auto file = platform().open(path, OpenMode::Read);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::string bytes;
    char buffer[65536];
    for (int64_t n; (n = file->read(buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

std::string gzipMember(const std::string& content, const std::string& scratchFolder) {
    const std::string source = scratchFolder + "~hand.src";
    const std::string member = scratchFolder + "~hand.gz";
    writeWinFile(source, content);
    TGzip gzip = TGzip::designedGzip1();
    gzip.FileSource = source;
    gzip.FileDestination = member;
    if (gzip.Compress() != 0) throw std::runtime_error("compress failed");
    std::string bytes = readWinFile(member);
    platform().removeFile(source);
    platform().removeFile(member);
    return bytes;
}

std::vector<int64_t> writeHandArchive(const std::string& path,
                                      const std::vector<HandEntry>& entries,
                                      const std::string& scratchFolder,
                                      const std::string& comment, format::Version version) {
    format::Header header;
    header.comment = comment;
    header.version = version;
    auto block = format::encodeHeader(header);
    std::string bytes(block.begin(), block.end());
    std::vector<int64_t> offsets;
    for (const HandEntry& e : entries) {
        std::string payload = gzipMember(e.content, scratchFolder);
        if (e.corruptPayload) payload[10 + (payload.size() - 18) / 2] ^= 0x55;
        format::EntryRecord record;
        record.folder = e.folder;
        record.fileName = e.fileName;
        record.fileDate = 0x5A210000;
        record.typeName = "Document";
        record.fileSize = e.fileSize.value_or(static_cast<int64_t>(e.content.size()));
        record.compressedSize = e.compressedSize.value_or(static_cast<int64_t>(payload.size()));
        offsets.push_back(static_cast<int64_t>(bytes.size()));
        const auto r = format::encodeRecord(record, version);
        bytes.append(r.begin(), r.begin() + format::recordSize(version));
        bytes += payload;
    }
    writeWinFile(path, bytes);
    return offsets;
}

}  // namespace kv::test
