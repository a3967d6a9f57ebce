#include "engine/ArchiveFormat.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "text/Text.h"

namespace kv::format {

const char* const IncompatibleMessage = "fichier non compatible avec cette version du programme";

namespace {

constexpr uint8_t Signature[18] = {0x11, '[', 'F', 'i', 'l', 'e', ' ', 'K', 'o',
                                   'r',  'v', 'e', 'l', 't', ' ', 'V', '1', ']'};

// A length byte at `at`, then the text area of `width` bytes.
void putText(uint8_t* block, std::size_t at, std::size_t width, const std::string& utf8) {
    const std::string stored = text::storedCut(utf8, width);
    block[at] = static_cast<uint8_t>(stored.size());
    std::memcpy(block + at + 1, stored.data(), stored.size());
}

std::string getText(const uint8_t* block, std::size_t at, std::size_t width) {
    const std::size_t length = std::min<std::size_t>(block[at], width);
    return text::fromStored(
        std::string_view(reinterpret_cast<const char*>(block + at + 1), length));
}

void putInt32(uint8_t* block, std::size_t at, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t getInt32(const uint8_t* block, std::size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(block[at + i]) << (8 * i);
    return static_cast<int32_t>(v);
}

}  // namespace

bool CheckSignature(const HeaderBlock& block) {
    // The length byte decides how much is compared; only 17 can match the text.
    const std::size_t length = block[0];
    if (length + 1 > sizeof Signature) return false;
    return std::memcmp(block.data(), Signature, length + 1) == 0 && length == 17;
}

HeaderBlock encodeHeader(const Header& header) {
    HeaderBlock block{};
    std::memcpy(block.data(), Signature, sizeof Signature);
    block[ReservedAt] = header.reserved;
    putText(block.data(), CommentAt, CommentWidth, header.comment);
    return block;
}

void rewriteHeaderComment(HeaderBlock& block, const std::string& comment) {
    std::memcpy(block.data(), Signature, sizeof Signature);
    putText(block.data(), CommentAt, CommentWidth, comment);
}

Header decodeHeader(const HeaderBlock& block) {
    Header header;
    header.reserved = block[ReservedAt];
    header.comment = getText(block.data(), CommentAt, CommentWidth);
    return header;
}

RecordBlock encodeRecord(const EntryRecord& record) {
    RecordBlock block{};
    putText(block.data(), FileNameAt, FileNameWidth, record.fileName);
    putText(block.data(), FolderAt, FolderWidth, record.folder);
    putInt32(block.data(), FileDateAt, record.fileDate);
    putText(block.data(), TypeNameAt, TypeNameWidth, record.typeName);
    putInt32(block.data(), FileSizeAt, record.fileSize);
    putInt32(block.data(), CompressedSizeAt, record.compressedSize);
    return block;
}

EntryRecord decodeRecord(const RecordBlock& block) {
    EntryRecord record;
    record.fileName = getText(block.data(), FileNameAt, FileNameWidth);
    record.folder = getText(block.data(), FolderAt, FolderWidth);
    record.fileDate = getInt32(block.data(), FileDateAt);
    record.typeName = getText(block.data(), TypeNameAt, TypeNameWidth);
    record.fileSize = getInt32(block.data(), FileSizeAt);
    record.compressedSize = getInt32(block.data(), CompressedSizeAt);
    return record;
}

int64_t readFully(File& file, void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = file.read(out + done, count - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool readHeaderBlock(File& file, HeaderBlock& block) {
    block.fill(0);
    if (!file.seek(0)) return false;
    return readFully(file, block.data(), HeaderSize) >= 0;
}

bool writeHeader(File& file, const Header& header) {
    const HeaderBlock block = encodeHeader(header);
    return file.write(block.data(), HeaderSize);
}

bool writeRecord(File& file, const EntryRecord& record) {
    const RecordBlock block = encodeRecord(record);
    return file.write(block.data(), RecordSize);
}

ArchiveWalker::ArchiveWalker(File& file) : file_(file), fileSize_(file.size()) {
    if (fileSize_ < 0) {
        failed_ = true;
        ended_ = true;
    }
}

std::optional<EntryRecord> ArchiveWalker::next() {
    if (ended_ || position_ >= fileSize_) return std::nullopt;
    if (!file_.seek(position_)) {
        failed_ = ended_ = true;
        return std::nullopt;
    }
    RecordBlock block;
    const int64_t n = readFully(file_, block.data(), RecordSize);
    if (n < 0) {
        failed_ = ended_ = true;
        return std::nullopt;
    }
    if (n < RecordSize) {
        cutShort_ = ended_ = true;
        return std::nullopt;
    }
    EntryRecord record = decodeRecord(block);
    offset_ = position_;
    if (record.compressedSize < 0) {
        ended_ = true;
        damage_ = "l'entrée < " + record.fullPath() + " > a une taille compressée négative";
    } else {
        position_ = offset_ + RecordSize + record.compressedSize;
        if (position_ > fileSize_)
            damage_ = "le contenu de l'entrée < " + record.fullPath() +
                      " > est coupé par la fin de l'archive";
    }
    return record;
}

std::string ArchiveWalker::problem() const {
    if (failed_) return "erreur de lecture";
    if (cutShort_) return "sa dernière entrée est coupée";
    return damage_;
}

std::optional<EntryRecord> readRecordAt(File& file, int64_t offset,
                                        const std::string& expectedFullPath) {
    if (offset < 0 || !file.seek(offset)) return std::nullopt;
    RecordBlock block;
    if (readFully(file, block.data(), RecordSize) != RecordSize) return std::nullopt;
    EntryRecord record = decodeRecord(block);
    if (!text::equalNoCase(record.fullPath(), expectedFullPath)) return std::nullopt;
    return record;
}

bool payloadFits(const EntryRecord& record, int64_t payloadStart, int64_t fileSize) {
    return record.compressedSize >= 0 && payloadStart >= 0 &&
           payloadStart + record.compressedSize <= fileSize;
}

bool copyBytes(File& source, File& destination, int64_t count) {
    if (count <= 0) return count == 0;
    std::vector<uint8_t> buffer(static_cast<std::size_t>(std::min(count, CopyBlockSize)));
    while (count > 0) {
        const int64_t want = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
        const int64_t n = readFully(source, buffer.data(), want);
        if (n != want) return false;
        if (!destination.write(buffer.data(), n)) return false;
        count -= n;
    }
    return true;
}

}  // namespace kv::format
