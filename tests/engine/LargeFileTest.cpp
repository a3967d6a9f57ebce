// A file of 3 GiB through the archiving run, the soundness check and the
// restore. The file is sparse (it takes no disk space) with a few bytes
// written around the 2 GiB boundary and at its ends; it is checked by CRC-32
// read in blocks, so that nothing holds it in memory. This test has a ctest
// entry of its own (tests/engine/CMakeLists.txt).

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/EntryCheck.h"
#include "engine/Restore.h"

namespace kv {
namespace {

constexpr int64_t ThreeGiB = int64_t(3) << 30;

class LargeFile : public test::EngineRunFixture {
  protected:
    // The CRC-32 and length of a file, read 1 MiB at a time.
    static std::pair<uint32_t, int64_t> crcOf(const std::string& path) {
        std::unique_ptr<File> file = platform().open(path, OpenMode::Read);
        EXPECT_TRUE(file) << path;
        if (!file) return {0, -1};
        std::vector<uint8_t> block(1 << 20);
        uLong crc = crc32(0, nullptr, 0);
        int64_t length = 0;
        for (int64_t n; (n = file->read(block.data(), int64_t(block.size()))) > 0; length += n)
            crc = crc32(crc, block.data(), uInt(n));
        return {uint32_t(crc), length};
    }

    format::Version versionOf(const std::string& archive) const {
        return format::signatureVersion([&] {
                   format::HeaderBlock header{};
                   const std::string bytes = bytesOf(archive).substr(0, format::HeaderSize);
                   std::copy(bytes.begin(), bytes.end(), header.begin());
                   return header;
               }())
            .value_or(format::Version::V1);
    }
};

TEST_F(LargeFile, FileOf3GiBIsStoredTestedAndRestored) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\film.bin", "petit");
    ASSERT_TRUE(archiveAndReload().clean());
    ASSERT_EQ(versionOf(Archive), format::Version::V1);

    // The file grows past 2 GiB after the catalog was read: the new copy
    // begins in V1 and turns into V2 when the large member is appended.
    const std::string host = drives.hostPath("C:\\Docs\\film.bin");
    std::filesystem::resize_file(host, ThreeGiB);
    {
        std::fstream f(host, std::ios::in | std::ios::out | std::ios::binary);
        for (const int64_t at : {int64_t(0), (int64_t(1) << 31) - 2, ThreeGiB - 3}) {
            f.seekp(at);
            f.write("K2G", 3);
        }
    }
    const auto [crc, length] = crcOf("C:\\Docs\\film.bin");
    ASSERT_EQ(length, ThreeGiB);

    const ArchiveResult stored = archiveAndReload();

    ASSERT_TRUE(stored.clean()) << (ui.messageTexts().empty() ? "" : ui.messageTexts()[0]);
    EXPECT_EQ(versionOf(Archive), format::Version::V2);
    ASSERT_EQ(archive.rows.size(), 2u);
    const CatalogRow& film = archive.rows[1];
    EXPECT_EQ(film.size, ThreeGiB);
    EXPECT_EQ(LoadArchive(archive, ui).totalSize, ThreeGiB + 5);

    // Tested: the entry is sound, its data ThreeGiB bytes.
    {
        std::unique_ptr<File> file = platform().open(Archive, OpenMode::Read);
        const std::optional<int64_t> offset = archive.rows[1].entryOffset;
        ASSERT_TRUE(offset);
        const auto record =
            format::readRecordAt(*file, format::Version::V2, *offset, "C:\\Docs\\film.bin");
        ASSERT_TRUE(record);
        EXPECT_EQ(record->fileSize, ThreeGiB);
        const format::EntryCheck check =
            format::CheckEntry(*file, *record, *offset + format::RecordSizeV2);
        EXPECT_TRUE(check.sound()) << check.text();
        EXPECT_EQ(check.length, ThreeGiB);
    }

    // Restored, and the same bytes.
    const RestoreOutcome restored = RestoreFiles(
        archive, RestoreChoices{RestoreSelection::SelectedRows, false, false, "C:\\Out"}, {1}, ui);
    EXPECT_EQ(restored.restored, 1);
    EXPECT_EQ(crcOf("C:\\Out\\film.bin"), std::make_pair(crc, ThreeGiB));
    remove("C:\\Out\\film.bin");

    // Small again: the next update writes V1.
    drives.writeFile("C:\\Docs\\film.bin", "petit");
    ASSERT_TRUE(archiveAndReload().clean());
    EXPECT_EQ(versionOf(Archive), format::Version::V1);
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].record.fileSize, 5);
    expectNoTemporaries();
}

}  // namespace
}  // namespace kv
