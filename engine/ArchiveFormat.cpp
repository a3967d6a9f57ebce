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
// The one byte by which the two signatures differ: the version digit.
constexpr std::size_t VersionDigitAt = 16;

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

void putInt64(uint8_t* block, std::size_t at, int64_t value) {
    const auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) block[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

int64_t getInt64(const uint8_t* block, std::size_t at) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(block[at + i]) << (8 * i);
    return static_cast<int64_t>(v);
}

void putSignature(uint8_t* block, Version version) {
    std::memcpy(block, Signature, sizeof Signature);
    block[VersionDigitAt] = version == Version::V2 ? '2' : '1';
}

// The two sizes, in the layout of version.
void putSizes(uint8_t* block, Version version, int64_t fileSize, int64_t compressedSize) {
    if (version == Version::V2) {
        putInt64(block, FileSizeAt, fileSize);
        putInt64(block, CompressedSizeAtV2, compressedSize);
    } else {
        putInt32(block, FileSizeAt, static_cast<int32_t>(fileSize));
        putInt32(block, CompressedSizeAt, static_cast<int32_t>(compressedSize));
    }
}

void getSizes(const uint8_t* block, Version version, int64_t& fileSize, int64_t& compressedSize) {
    if (version == Version::V2) {
        fileSize = getInt64(block, FileSizeAt);
        compressedSize = getInt64(block, CompressedSizeAtV2);
    } else {
        fileSize = getInt32(block, FileSizeAt);
        compressedSize = getInt32(block, CompressedSizeAt);
    }
}

}  // namespace

std::optional<Version> signatureVersion(const HeaderBlock& block) {
    // The length byte decides how much is compared; only 17 can match the text.
    const std::size_t length = block[0];
    if (length != 17) return std::nullopt;
    for (Version version : {Version::V1, Version::V2}) {
        uint8_t expected[sizeof Signature];
        putSignature(expected, version);
        if (std::memcmp(block.data(), expected, sizeof expected) == 0) return version;
    }
    return std::nullopt;
}

bool CheckSignature(const HeaderBlock& block) {
    return signatureVersion(block).has_value();
}

bool fitsV1(const EntryRecord& record) {
    return record.fileSize < V1SizeLimit && record.compressedSize < V1SizeLimit &&
           record.fileSize >= -V1SizeLimit && record.compressedSize >= -V1SizeLimit;
}

HeaderBlock encodeHeader(const Header& header) {
    HeaderBlock block{};
    putSignature(block.data(), header.version);
    block[ReservedAt] = header.reserved;
    putText(block.data(), CommentAt, CommentWidth, header.comment);
    return block;
}

void rewriteHeaderComment(HeaderBlock& block, const std::string& comment) {
    putSignature(block.data(), signatureVersion(block).value_or(Version::V1));
    putText(block.data(), CommentAt, CommentWidth, comment);
}

Header decodeHeader(const HeaderBlock& block) {
    Header header;
    header.reserved = block[ReservedAt];
    header.comment = getText(block.data(), CommentAt, CommentWidth);
    header.version = signatureVersion(block).value_or(Version::V1);
    return header;
}

RecordBuffer encodeRecord(const EntryRecord& record, Version version) {
    RecordBuffer buffer{};
    putText(buffer.data(), FileNameAt, FileNameWidth, record.fileName);
    putText(buffer.data(), FolderAt, FolderWidth, record.folder);
    putInt32(buffer.data(), FileDateAt, record.fileDate);
    putText(buffer.data(), TypeNameAt, TypeNameWidth, record.typeName);
    putSizes(buffer.data(), version, record.fileSize, record.compressedSize);
    return buffer;
}

RecordBlock encodeRecord(const EntryRecord& record) {
    const RecordBuffer buffer = encodeRecord(record, Version::V1);
    RecordBlock block;
    std::copy_n(buffer.begin(), RecordSize, block.begin());
    return block;
}

EntryRecord decodeRecord(const RecordBuffer& buffer, Version version) {
    EntryRecord record;
    record.fileName = getText(buffer.data(), FileNameAt, FileNameWidth);
    record.folder = getText(buffer.data(), FolderAt, FolderWidth);
    record.fileDate = getInt32(buffer.data(), FileDateAt);
    record.typeName = getText(buffer.data(), TypeNameAt, TypeNameWidth);
    getSizes(buffer.data(), version, record.fileSize, record.compressedSize);
    return record;
}

EntryRecord decodeRecord(const RecordBlock& block) {
    RecordBuffer buffer{};
    std::copy(block.begin(), block.end(), buffer.begin());
    return decodeRecord(buffer, Version::V1);
}

RecordBuffer convertRecord(const RecordBuffer& buffer, Version from, Version to) {
    RecordBuffer converted{};
    std::copy_n(buffer.begin(), FileSizeAt, converted.begin());
    int64_t fileSize = 0;
    int64_t compressedSize = 0;
    getSizes(buffer.data(), from, fileSize, compressedSize);
    putSizes(converted.data(), to, fileSize, compressedSize);
    return converted;
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

bool writeRecord(File& file, const EntryRecord& record, Version version) {
    const RecordBuffer buffer = encodeRecord(record, version);
    return file.write(buffer.data(), recordSize(version));
}

ArchiveWalker::ArchiveWalker(File& file) : file_(file), fileSize_(file.size()) {
    HeaderBlock header;
    if (fileSize_ < 0 || !readHeaderBlock(file_, header)) {
        failed_ = true;
        ended_ = true;
        return;
    }
    version_ = signatureVersion(header).value_or(Version::V1);
}

std::optional<EntryRecord> ArchiveWalker::next() {
    if (ended_ || position_ >= fileSize_) return std::nullopt;
    if (!file_.seek(position_)) {
        failed_ = ended_ = true;
        return std::nullopt;
    }
    const int64_t size = recordSize(version_);
    RecordBuffer block{};
    const int64_t n = readFully(file_, block.data(), size);
    if (n < 0) {
        failed_ = ended_ = true;
        return std::nullopt;
    }
    if (n < size) {
        cutShort_ = ended_ = true;
        return std::nullopt;
    }
    EntryRecord record = decodeRecord(block, version_);
    offset_ = position_;
    if (record.compressedSize < 0) {
        ended_ = true;
        damage_ = "l'entrée < " + record.fullPath() + " > a une taille compressée négative";
    } else if (record.compressedSize > fileSize_ - payloadStart()) {
        // Compared this way round: a 64-bit size may be as large as a
        // damaged record makes it, and the sum would overflow.
        ended_ = true;
        damage_ = "le contenu de l'entrée < " + record.fullPath() +
                  " > est coupé par la fin de l'archive";
    } else {
        position_ = payloadStart() + record.compressedSize;
    }
    return record;
}

void ArchiveWalker::restartAt(int64_t position) {
    position_ = position;
    cutShort_ = false;
    ended_ = failed_;
    damage_.clear();
}

std::string ArchiveWalker::problem() const {
    if (failed_) return "erreur de lecture";
    if (cutShort_) return "sa dernière entrée est coupée";
    return damage_;
}

std::optional<EntryRecord> readRecordAt(File& file, Version version, int64_t offset,
                                        const std::string& expectedFullPath) {
    if (offset < 0 || !file.seek(offset)) return std::nullopt;
    RecordBuffer block{};
    const int64_t size = recordSize(version);
    if (readFully(file, block.data(), size) != size) return std::nullopt;
    EntryRecord record = decodeRecord(block, version);
    if (!text::equalNoCase(record.fullPath(), expectedFullPath)) return std::nullopt;
    return record;
}

bool payloadFits(const EntryRecord& record, int64_t payloadStart, int64_t fileSize) {
    return record.compressedSize >= 0 && payloadStart >= 0 && payloadStart <= fileSize &&
           record.compressedSize <= fileSize - payloadStart;
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
