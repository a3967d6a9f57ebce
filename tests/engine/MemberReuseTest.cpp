// An update keeps the stored member of a file only when it is still that
// file's: same size and date, the same bytes, and a sound member. Every other
// file is compressed again, and the new entry is sound and holds the file.

#include <gtest/gtest.h>

#include <functional>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "engine/MemberCodec.h"
#include "support/Members.h"
#include "support/MemoryFile.h"

namespace kv {
namespace {

constexpr const char* A = "C:\\Docs\\a.txt";

class MemberReuse : public test::EngineRunFixture {
  public:
    void SetUp() override {
        EngineRunFixture::SetUp();
        archiveThreeDocs();
    }

    // a.txt's entry in the archive (the first one, the rows being sorted by name).
    RawEntry entryA() const { return entriesOf(Archive).at(0); }

    // Flips one byte of a.txt's payload, counted from the payload's end.
    void damageA(std::size_t fromEnd) {
        std::string bytes = bytesOf(Archive);
        const RawEntry a = entryA();
        bytes[format::HeaderSize + a.bytes.size() - fromEnd] ^= 0x24;
        rewriteArchive(bytes);
    }

    // Rewrites a.txt with other bytes of the same length, dated as stored.
    void sameSizeAndDateOtherBytes() {
        std::string changed = bytesOf(A);
        changed[changed.size() / 2] = '#';
        drives.writeFile(A, changed);
        ASSERT_TRUE(platform().setLastWriteDos(A, entryA().record.fileDate));
    }

    void recompressAll() { options.recompressAll = true; }

  protected:
    // Each stored member is sound and holds the file on disk.
    void expectEntriesHoldTheFiles() {
        for (const RawEntry& e : entriesOf(Archive)) {
            const std::string payload = e.bytes.substr(format::RecordSize);
            test::MemoryFile file(std::vector<uint8_t>(payload.begin(), payload.end()));
            EXPECT_EQ(MemberCodec::verify(file, int64_t(payload.size())).fault,
                      MemberCodec::MemberFault::None)
                << e.record.fileName;
            EXPECT_TRUE(test::dataOf(payload) == bytesOf(e.record.fullPath())) << e.record.fileName;
            EXPECT_EQ(e.record.fileDate, *platform().lastWriteDos(e.record.fullPath()));
        }
    }
};

struct ReuseCase {
    const char* name;
    std::function<void(MemberReuse&)> change;
    int reused;        // of the three files
    bool keptPayload;  // a.txt's stored member is copied as it is
};

class Reuse : public MemberReuse, public testing::WithParamInterface<ReuseCase> {};

TEST_P(Reuse, KeepsAStoredMemberOnlyWhenItIsStillTheFiles) {
    GetParam().change(*this);
    const std::string before = entryA().bytes.substr(format::RecordSize);

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(r.reused, GetParam().reused);
    EXPECT_EQ(entryA().bytes.substr(format::RecordSize) == before, GetParam().keptPayload);
    expectEntriesHoldTheFiles();
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reuse,
    testing::Values(
        ReuseCase{"Unchanged", [](MemberReuse&) {}, 3, true},
        ReuseCase{"OtherBytesSameSizeAndDate",
                  [](MemberReuse& t) { t.sameSizeAndDateOtherBytes(); }, 2, false},
        ReuseCase{"TrailerCrcDoesNotMatchTheData", [](MemberReuse& t) { t.damageA(6); }, 2, false},
        ReuseCase{"TrailerLengthDoesNotMatchTheData", [](MemberReuse& t) { t.damageA(2); }, 2,
                  false},
        ReuseCase{"DamagedDeflateData", [](MemberReuse& t) { t.damageA(200); }, 2, false},
        ReuseCase{"RecompressAll", [](MemberReuse& t) { t.recompressAll(); }, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MemberReuse, MemberOfOtherSettingsIsKeptAndTheRecordIsWrittenAfresh) {
    // The archive as another writer would have made it: each member of level 1,
    // with zlib's own header (another XFL and OS byte).
    std::string other = bytesOf(Archive).substr(0, format::HeaderSize);
    for (RawEntry& e : entriesOf(Archive)) {
        const std::string member = test::zlibMember(bytesOf(e.record.fullPath()), 1);
        ASSERT_NE(member, e.bytes.substr(format::RecordSize));
        e.record.compressedSize = int32_t(member.size());
        const auto block = format::encodeRecord(e.record);
        other.append(block.begin(), block.end());
        other += member;
    }
    drives.writeFile(Archive, other);
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    const std::string levelOne = entryA().bytes.substr(format::RecordSize);
    archive.rows[0].typeName = "Texte brut";

    const ArchiveResult r = archiveAndReload();

    EXPECT_EQ(r.reused, 3);
    EXPECT_TRUE(entryA().bytes.substr(format::RecordSize) == levelOne);
    EXPECT_EQ(entryA().record.typeName, "Texte brut");
    expectEntriesHoldTheFiles();
}

TEST_F(MemberReuse, ReusedArchiveIsTheRecompressedOneByteForByte) {
    drives.writeFile("C:\\Docs\\b.txt", "beta, changé");
    archiveAndReload();
    const std::string reused = bytesOf(Archive);
    options.recompressAll = true;
    archiveAndReload();
    EXPECT_TRUE(bytesOf(Archive) == reused);
}

}  // namespace
}  // namespace kv
