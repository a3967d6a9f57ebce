#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "support/MemoryFile.h"

using namespace kv::format;
using kv::test::MemoryFile;

namespace {

int32_t le32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

std::string textAt(const uint8_t* block, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(block + at + 1), block[at]);
}

int64_t le64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return int64_t(v);
}

EntryRecord sampleRecord(const std::string& name, int64_t compressedSize) {
    EntryRecord r;
    r.fileName = name;
    r.folder = "C:\\Docs\\";
    r.fileDate = 0x2D8A6B3C;
    r.typeName = "Document texte";
    r.fileSize = 1234;
    r.compressedSize = compressedSize;
    return r;
}

// An archive in memory: header, then each record followed by payloadSize bytes.
MemoryFile archiveOf(const std::vector<EntryRecord>& records, Version version = Version::V1) {
    MemoryFile file;
    EXPECT_TRUE(writeHeader(file, Header{0, "Sauvegarde", version}));
    for (const auto& r : records) {
        EXPECT_TRUE(writeRecord(file, r, version));
        std::vector<uint8_t> payload(size_t(std::max<int64_t>(0, r.compressedSize)), 0xAB);
        file.write(payload.data(), int64_t(payload.size()));
    }
    return file;
}

}  // namespace

// The layout tests write the offsets out as numbers: they pin the layout
// without taking it from the constants of the code they check.
TEST(ArchiveFormat, HeaderIsLaidOutByteForByte) {
    const HeaderBlock block = encodeHeader(Header{0, "Sauvegarde"});
    EXPECT_EQ(block[0], 0x11);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[1]), 17), "[File Korvelt V1]");
    EXPECT_EQ(block[18], 0);
    EXPECT_EQ(block[19], 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[20]), 10), "Sauvegarde");
    for (std::size_t i = 30; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
    EXPECT_TRUE(CheckSignature(block));

    HeaderBlock reserved = encodeHeader(Header{7, "x"});
    const Header back = decodeHeader(reserved);
    EXPECT_EQ(back.reserved, 7);
    EXPECT_EQ(back.comment, "x");
}

TEST(ArchiveFormat, CommentRewriteKeepsTheReservedByteAndTheOldTail) {
    HeaderBlock block;
    block.fill(0xAA);
    rewriteHeaderComment(block, "Noël");
    EXPECT_TRUE(CheckSignature(block));
    EXPECT_EQ(block[18], 0xAA);
    EXPECT_EQ(decodeHeader(block).comment, "Noël");
    EXPECT_EQ(block[19], 4);  // stored in the code page: one byte a character
    for (std::size_t i = 24; i < block.size(); ++i) EXPECT_EQ(block[i], 0xAA) << i;
}

TEST(ArchiveFormat, SignatureCheckRefusesNearMisses) {
    HeaderBlock good = encodeHeader(Header{});
    HeaderBlock v3 = good;
    v3[16] = '3';
    HeaderBlock shortLength = good;
    shortLength[0] = 0x10;
    HeaderBlock longLength = good;
    longLength[0] = 0x12;
    HeaderBlock empty{};
    HeaderBlock lowerCase = good;
    lowerCase[2] = 'f';
    EXPECT_TRUE(CheckSignature(good));
    EXPECT_FALSE(CheckSignature(v3));
    EXPECT_FALSE(CheckSignature(shortLength));
    EXPECT_FALSE(CheckSignature(longLength));
    EXPECT_FALSE(CheckSignature(empty));
    EXPECT_FALSE(CheckSignature(lowerCase));

    // A file shorter than the signature reads into a zero-filled block.
    MemoryFile tiny(std::vector<uint8_t>(good.begin(), good.begin() + 17));
    HeaderBlock read;
    ASSERT_TRUE(readHeaderBlock(tiny, read));
    EXPECT_FALSE(CheckSignature(read));
    EXPECT_EQ(read[17], 0);
}

TEST(ArchiveFormat, RecordIsLaidOutByteForByte) {
    EntryRecord r = sampleRecord("lettre.doc", 517);
    r.fileSize = -2;
    const RecordBlock block = encodeRecord(r);
    EXPECT_EQ(textAt(block.data(), 0), "lettre.doc");
    EXPECT_EQ(textAt(block.data(), 101), "C:\\Docs\\");
    EXPECT_EQ(le32(&block[352]), 0x2D8A6B3C);
    EXPECT_EQ(textAt(block.data(), 356), "Document texte");
    EXPECT_EQ(block[407], 0);
    EXPECT_EQ(le32(&block[408]), -2);
    EXPECT_EQ(le32(&block[412]), 517);
    EXPECT_EQ(block[11], 0);  // text area past the length is zero

    const EntryRecord back = decodeRecord(block);
    EXPECT_EQ(back.fileName, r.fileName);
    EXPECT_EQ(back.folder, r.folder);
    EXPECT_EQ(back.fileDate, r.fileDate);
    EXPECT_EQ(back.typeName, r.typeName);
    EXPECT_EQ(back.fileSize, -2);
    EXPECT_EQ(back.compressedSize, 517);
    EXPECT_EQ(back.fullPath(), "C:\\Docs\\lettre.doc");
}

std::string repeat(const char* piece, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += piece;
    return s;
}

struct WidthCase {
    const char* name;
    std::string text;
    std::size_t storedBytes;  // length byte written
    std::string readBack;
};

class FieldWidth : public ::testing::TestWithParam<WidthCase> {};

// Every case goes through the file name field (100 bytes).
TEST_P(FieldWidth, FileNameIsCutToWholeCharacters) {
    const WidthCase& c = GetParam();
    EntryRecord r;
    r.fileName = c.text;
    const RecordBlock block = encodeRecord(r);
    EXPECT_EQ(block[0], c.storedBytes);
    EXPECT_EQ(decodeRecord(block).fileName, c.readBack);
}

INSTANTIATE_TEST_SUITE_P(
    ArchiveFormat, FieldWidth,
    ::testing::Values(WidthCase{"Exactly100", std::string(100, 'n'), 100, std::string(100, 'n')},
                      WidthCase{"Over100IsCut", std::string(101, 'n'), 100, std::string(100, 'n')},
                      // é fits Windows-1252: one stored byte per character.
                      WidthCase{"AccentsAreOneByte", repeat("\xC3\xA9", 101), 100,
                                repeat("\xC3\xA9", 100)},
                      // Ω does not: the field holds UTF-8 and a cut never splits it.
                      WidthCase{"WideCharacterNotSplit", std::string(99, 'a') + "\xCE\xA9", 99,
                                std::string(99, 'a')},
                      WidthCase{"WideCharacterKept", std::string(98, 'a') + "\xCE\xA9", 100,
                                std::string(98, 'a') + "\xCE\xA9"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ArchiveFormat, EveryTextFieldKeepsItsWidth) {
    const std::string accents = repeat("\xC3\xA9", 100);  // é: 2 bytes in UTF-8, 1 stored
    EntryRecord r;
    r.fileName = accents;
    r.folder = std::string(251, 'f');
    r.typeName = std::string(51, 't');
    const RecordBlock block = encodeRecord(r);
    EXPECT_EQ(block[0], 100);
    EXPECT_EQ(block[1], 0xE9);
    EXPECT_EQ(block[101], 250);
    EXPECT_EQ(block[356], 50);
    const EntryRecord back = decodeRecord(block);
    EXPECT_EQ(back.fileName, accents);
    EXPECT_EQ(back.folder, std::string(250, 'f'));
    EXPECT_EQ(back.typeName, std::string(50, 't'));

    EXPECT_EQ(decodeHeader(encodeHeader(Header{0, std::string(82, 'c')})).comment,
              std::string(82, 'c'));
    EXPECT_EQ(decodeHeader(encodeHeader(Header{0, std::string(83, 'c')})).comment,
              std::string(82, 'c'));
}

TEST(ArchiveFormat, DecoderClampsOversizedLengthBytes) {
    RecordBlock block = encodeRecord(sampleRecord(std::string(100, 'x'), 0));
    block[FileNameAt] = 255;
    block[TypeNameAt] = 200;
    const EntryRecord r = decodeRecord(block);
    EXPECT_EQ(r.fileName, std::string(100, 'x'));
    EXPECT_EQ(r.typeName.size(), 50u);
    HeaderBlock header = encodeHeader(Header{});
    header[19] = 255;
    EXPECT_EQ(decodeHeader(header).comment.size(), 82u);
}

TEST(ArchiveFormat, WalkFindsEveryEntryInFileOrder) {
    MemoryFile file =
        archiveOf({sampleRecord("a.txt", 20), sampleRecord("vide", 0), sampleRecord("b.txt", 31)});
    file.capReadsAt(7);  // short reads are retried
    ArchiveWalker walk(file);
    std::vector<std::pair<std::string, int64_t>> seen;
    while (auto entry = walk.next()) {
        seen.emplace_back(entry->fileName, walk.offset());
        EXPECT_EQ(file.position(), walk.payloadStart());
        EXPECT_TRUE(payloadFits(*entry, walk.payloadStart(), walk.fileSize()));
    }
    const std::vector<std::pair<std::string, int64_t>> expected = {
        {"a.txt", FirstEntryOffset},
        {"vide", FirstEntryOffset + RecordSize + 20},
        {"b.txt", FirstEntryOffset + RecordSize + 20 + RecordSize}};
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(walk.failed());
    EXPECT_FALSE(walk.cutShort());
}

TEST(ArchiveFormat, EmptyArchiveIsExactlyTheHeader) {
    MemoryFile file = archiveOf({});
    EXPECT_EQ(file.size(), HeaderSize);
    ArchiveWalker walk(file);
    EXPECT_FALSE(walk.next());
    EXPECT_FALSE(walk.failed());
    EXPECT_FALSE(walk.cutShort());
}

TEST(ArchiveFormat, RecordCutShortEndsTheWalk) {
    MemoryFile file = archiveOf({sampleRecord("a.txt", 20), sampleRecord("b.txt", 20)});
    file.bytes().resize(HeaderSize + RecordSize + 20 + 300);
    ArchiveWalker walk(file);
    ASSERT_TRUE(walk.next());
    EXPECT_FALSE(walk.next());
    EXPECT_TRUE(walk.cutShort());
    EXPECT_FALSE(walk.failed());
}

TEST(ArchiveFormat, PayloadsThatDoNotFitAreDamagedNotWholeFile) {
    // The last payload is cut short by the end of the file.
    MemoryFile cut = archiveOf({sampleRecord("a.txt", 20), sampleRecord("b.txt", 400)});
    cut.bytes().resize(cut.bytes().size() - 1);
    ArchiveWalker walk(cut);
    auto first = walk.next();
    ASSERT_TRUE(first);
    EXPECT_TRUE(payloadFits(*first, walk.payloadStart(), walk.fileSize()));
    auto second = walk.next();
    ASSERT_TRUE(second);
    EXPECT_FALSE(payloadFits(*second, walk.payloadStart(), walk.fileSize()));
    EXPECT_FALSE(walk.next());

    // A negative size would walk backwards for ever: the walk stops after it.
    MemoryFile negative = archiveOf({sampleRecord("a.txt", 0)});
    negative.bytes()[HeaderSize + CompressedSizeAt + 3] = 0xFF;  // negative
    ArchiveWalker back(negative);
    auto entry = back.next();
    ASSERT_TRUE(entry);
    EXPECT_LT(entry->compressedSize, 0);
    EXPECT_FALSE(payloadFits(*entry, back.payloadStart(), back.fileSize()));
    EXPECT_FALSE(back.next());

    EXPECT_TRUE(
        payloadFits(sampleRecord("z", 0), HeaderSize + RecordSize, HeaderSize + RecordSize));
}

TEST(ArchiveFormat, ReadErrorIsReportedNotTakenAsTheEnd) {
    MemoryFile file = archiveOf({sampleRecord("a.txt", 20), sampleRecord("b.txt", 20)});
    file.failReadsPast(600);
    ArchiveWalker walk(file);
    ASSERT_TRUE(walk.next());
    EXPECT_FALSE(walk.next());
    EXPECT_TRUE(walk.failed());
}

TEST(ArchiveFormat, DirectAccessMatchesFullPathIgnoringCase) {
    EntryRecord r = sampleRecord("Lettre Été.doc", 20);
    MemoryFile file = archiveOf({sampleRecord("a.txt", 20), r});
    const int64_t offset = FirstEntryOffset + RecordSize + 20;
    auto found = readRecordAt(file, Version::V1, offset, "c:\\DOCS\\lettre été.DOC");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->fileName, "Lettre Été.doc");
    EXPECT_EQ(file.position(), offset + RecordSize);
    EXPECT_FALSE(readRecordAt(file, Version::V1, offset, "C:\\Docs\\a.txt"));
    EXPECT_FALSE(readRecordAt(file, Version::V1, FirstEntryOffset + 1, "C:\\Docs\\a.txt"));
    EXPECT_FALSE(readRecordAt(file, Version::V1, file.size() - 100, "C:\\Docs\\a.txt"));
    EXPECT_FALSE(readRecordAt(file, Version::V1, -1, "C:\\Docs\\a.txt"));
}

// ----- Files of 2 GiB and more: the V2 layout -----

TEST(ArchiveFormatV2, HeaderAndRecordAreLaidOutByteForByte) {
    const HeaderBlock header = encodeHeader(Header{0, "Sauvegarde", Version::V2});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&header[0]), 18), "\x11[File Korvelt V2]");
    EXPECT_EQ(signatureVersion(header), Version::V2);
    EXPECT_EQ(decodeHeader(header).version, Version::V2);
    EXPECT_EQ(decodeHeader(header).comment, "Sauvegarde");
    EXPECT_EQ(signatureVersion(encodeHeader(Header{})), Version::V1);

    EntryRecord r = sampleRecord("film.mkv", (int64_t(5) << 32) + 7);
    r.fileSize = (int64_t(3) << 30) + 1;
    const RecordBuffer v2 = encodeRecord(r, Version::V2);
    const RecordBlock v1 = encodeRecord(sampleRecord("film.mkv", 7));
    // Everything before the sizes is the V1 record's.
    EXPECT_TRUE(std::equal(v1.begin(), v1.begin() + FileSizeAt, v2.begin()));
    EXPECT_EQ(le64(&v2[FileSizeAt]), (int64_t(3) << 30) + 1);
    EXPECT_EQ(le64(&v2[CompressedSizeAtV2]), (int64_t(5) << 32) + 7);
    const EntryRecord back = decodeRecord(v2, Version::V2);
    EXPECT_EQ(back.fileSize, r.fileSize);
    EXPECT_EQ(back.compressedSize, r.compressedSize);
    EXPECT_EQ(back.fullPath(), "C:\\Docs\\film.mkv");
}

TEST(ArchiveFormatV2, WhatFitsAV1Record) {
    EntryRecord r = sampleRecord("a", (int64_t(1) << 31) - 1);
    r.fileSize = (int64_t(1) << 31) - 1;
    EXPECT_TRUE(fitsV1(r));
    r.fileSize = int64_t(1) << 31;
    EXPECT_FALSE(fitsV1(r));
    r.fileSize = 0;
    r.compressedSize = int64_t(1) << 31;
    EXPECT_FALSE(fitsV1(r));
    r.compressedSize = -1;  // a damaged record is kept as it was read
    EXPECT_TRUE(fitsV1(r));
}

TEST(ArchiveFormatV2, ConvertingARecordKeepsItsBytesAndSizes) {
    RecordBuffer block = encodeRecord(sampleRecord("a.txt", 20), Version::V1);
    block[50] = 0x5A;     // unused bytes of a text area, as an old record may hold
    block[PadAt] = 0x77;  // the pad byte
    const RecordBuffer wide = convertRecord(block, Version::V1, Version::V2);
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + FileSizeAt, wide.begin()));
    EXPECT_EQ(decodeRecord(wide, Version::V2).compressedSize, 20);
    EXPECT_EQ(decodeRecord(wide, Version::V2).fileSize, 1234);
    const RecordBuffer back = convertRecord(wide, Version::V2, Version::V1);
    EXPECT_TRUE(back == block);
    EXPECT_TRUE(convertRecord(block, Version::V1, Version::V1) == block);
}

TEST(ArchiveFormatV2, WalkAndDirectAccessReadTheV2Layout) {
    MemoryFile file =
        archiveOf({sampleRecord("a.txt", 20), sampleRecord("vide", 0), sampleRecord("b.txt", 31)},
                  Version::V2);
    file.capReadsAt(7);
    ArchiveWalker walk(file);
    EXPECT_EQ(walk.version(), Version::V2);
    std::vector<std::pair<std::string, int64_t>> seen;
    while (auto entry = walk.next()) {
        seen.emplace_back(entry->fileName, walk.offset());
        EXPECT_EQ(file.position(), walk.payloadStart());
        EXPECT_EQ(entry->fileSize, 1234);
    }
    const std::vector<std::pair<std::string, int64_t>> expected = {
        {"a.txt", FirstEntryOffset},
        {"vide", FirstEntryOffset + RecordSizeV2 + 20},
        {"b.txt", FirstEntryOffset + RecordSizeV2 + 20 + RecordSizeV2}};
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(walk.problem().empty());

    const int64_t last = FirstEntryOffset + RecordSizeV2 + 20 + RecordSizeV2;
    ASSERT_TRUE(readRecordAt(file, Version::V2, last, "C:\\Docs\\b.txt"));
    EXPECT_EQ(file.position(), last + RecordSizeV2);
}

TEST(ArchiveFormatV2, HugeSizesEndTheWalkAsDamage) {
    // A payload past the end by a 64-bit size as large as it gets: told as
    // damage, with no overflow on the way.
    MemoryFile file = archiveOf({sampleRecord("a.txt", 20), sampleRecord("b.txt", 4)}, Version::V2);
    const std::size_t second = FirstEntryOffset + RecordSizeV2 + 20;
    for (int i = 0; i < 7; ++i) file.bytes()[second + CompressedSizeAtV2 + i] = 0xFF;
    file.bytes()[second + CompressedSizeAtV2 + 7] = 0x7F;  // INT64_MAX
    ArchiveWalker walk(file);
    ASSERT_TRUE(walk.next());
    auto huge = walk.next();
    ASSERT_TRUE(huge);
    EXPECT_FALSE(payloadFits(*huge, walk.payloadStart(), walk.fileSize()));
    EXPECT_FALSE(walk.next());
    EXPECT_NE(walk.damage().find("coupé par la fin"), std::string::npos);
}

TEST(ArchiveFormat, CopyBytesCopiesExactlyOrFails) {
    std::vector<uint8_t> data(40000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
    MemoryFile source(data);
    source.seek(100);
    MemoryFile destination;
    ASSERT_TRUE(copyBytes(source, destination, 39000));
    EXPECT_EQ(destination.bytes(), std::vector<uint8_t>(data.begin() + 100, data.begin() + 39100));

    MemoryFile nothing;
    source.seek(0);
    EXPECT_TRUE(copyBytes(source, nothing, 0));
    EXPECT_TRUE(nothing.bytes().empty());
    EXPECT_EQ(source.position(), 0);

    source.seek(39000);
    EXPECT_FALSE(copyBytes(source, nothing, 1001));
}
