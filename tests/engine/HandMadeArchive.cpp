#include "HandMadeArchive.h"

#include <stdexcept>

#include "platform/Platform.h"
#include "support/Members.h"

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

std::vector<int64_t> writeHandArchive(const std::string& path,
                                      const std::vector<HandEntry>& entries,
                                      const std::string& comment, format::Version version) {
    format::Header header;
    header.comment = comment;
    header.version = version;
    auto block = format::encodeHeader(header);
    std::string bytes(block.begin(), block.end());
    std::vector<int64_t> offsets;
    for (const HandEntry& e : entries) {
        std::string payload = ourMember(e.content);
        if (e.corruptPayload) {
            const std::size_t framing = MemberCodec::HeaderSize + MemberCodec::TrailerSize;
            payload[MemberCodec::HeaderSize + (payload.size() - framing) / 2] ^= 0x55;
        }
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
