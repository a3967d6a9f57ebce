// The archiving run never reports success for an entry that would not read
// back: files that change while they are compressed, carried-over entries
// that are damaged, archives whose records are damaged.

#include <gtest/gtest.h>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/AutoArchive.h"
#include "engine/CatalogReader.h"
#include "engine/HeaderUpdate.h"
#include "engine/MemberCodec.h"
#include "platform/WriterLock.h"
#include "support/MemoryFile.h"
#include "util/Error.h"

namespace kv {
namespace {

class RunIntegrity : public test::EngineRunFixture {
  protected:
    // Text of n bytes that compresses slowly enough to give several progress events.
    static std::string text(std::size_t n, char seed) {
        std::string s(n, '\0');
        uint32_t x = static_cast<uint32_t>(seed);
        for (char& c : s) {
            x = x * 1103515245u + 12345u;
            c = "abcdefghij klmnop\n"[(x >> 16) % 18];
        }
        return s;
    }

    // Calls change() once per compression, when it has read past 11 %, at most
    // `times` times in all.
    void changeDuringCompression(int times, std::function<void(int)> change) {
        ui.onPump = [this, times, change, armed = true, done = 0]() mutable {
            if (ui.filePercents.empty()) return;
            const int percent = ui.filePercents.back();
            if (percent == 0) armed = true;
            if (armed && percent >= 11 && done < times) {
                armed = false;
                change(done++);
            }
        };
    }

    // The member of a stored entry checked as kvr test checks it.
    static MemberCodec::MemberCheck check(const RawEntry& entry) {
        const std::string payload = entry.bytes.substr(format::RecordSize);
        test::MemoryFile file(std::vector<uint8_t>(payload.begin(), payload.end()));
        return MemberCodec::verify(file, static_cast<int64_t>(payload.size()));
    }
};

TEST_F(RunIntegrity, FileThatShrinksWhileCompressedIsCompressedOnceMore) {
    addFile("C:\\Docs\\journal.log", text(2 << 20, 'a'));
    changeDuringCompression(
        1, [this](int) { drives.writeFile("C:\\Docs\\journal.log", text(1000, 'b')); });

    const ArchiveResult r = archiveAndReload();

    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.stored, 1);
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].record.fileSize, 1000);
    const MemberCodec::MemberCheck member = check(entries[0]);
    EXPECT_EQ(member.fault, MemberCodec::MemberFault::None);
    EXPECT_EQ(member.length, 1000);
    expectNoTemporaries();
}

TEST_F(RunIntegrity, FileThatChangesAtEveryCompressionKeepsItsLastStoredCopy) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\journal.log", "première version");
    ASSERT_TRUE(archiveAndReload().clean());
    const std::string stored = entriesOf(Archive)[1].bytes;
    ui = test::RecordingUi();
    drives.writeFile("C:\\Docs\\journal.log", text(2 << 20, 'a'));
    changeDuringCompression(10, [this](int n) {
        drives.writeFile("C:\\Docs\\journal.log", text((2 << 20) + 1 + n, 'c'));
    });

    const ArchiveResult r = archiveAndReload();

    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>{"Impossible d'archiver le fichier < journal.log >\r"
                                       "fichier modifié pendant sa lecture"});
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(r.failures, 1);
    EXPECT_FALSE(r.clean());
    const auto entries = entriesOf(Archive);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].bytes, stored);
    expectNoTemporaries();
}

TEST_F(RunIntegrity, DamagedEntryCarriedOverIsKeptAndCountedAsAFailure) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", std::string(5000, 'b'));
    ASSERT_TRUE(archiveAndReload().clean());
    ui = test::RecordingUi();
    remove("C:\\Docs\\b.txt");
    std::string bytes = bytesOf(Archive);
    bytes[bytes.size() - 6] ^= 0x5A;  // b's CRC-32 no longer matches its data
    rewriteArchive(bytes);
    const std::string damaged = entriesOf(Archive)[1].bytes;

    const ArchiveResult r = archiveAndReload();

    EXPECT_EQ(
        ui.messageTexts(),
        std::vector<std::string>{"Le fichier < C:\\Docs\\b.txt > est endommagé dans l'archive"});
    EXPECT_EQ(r.carriedOver, 1);
    EXPECT_EQ(r.failures, 1);
    EXPECT_FALSE(r.clean());
    EXPECT_EQ(entriesOf(Archive)[1].bytes, damaged);  // the only copy there is, kept as it was
}

struct RecordDamage {
    const char* name;
    int entry;  // which of the three entries
    int32_t compressedSize;
};

class DamagedRecord : public RunIntegrity, public testing::WithParamInterface<RecordDamage> {};

TEST_P(DamagedRecord, RefusesTheUpdateAndLeavesTheArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    addFile("C:\\Docs\\c.txt", "gamma");
    ASSERT_TRUE(archiveAndReload().clean());
    ui = test::RecordingUi();
    remove("C:\\Docs\\b.txt");
    std::string bytes = bytesOf(Archive);
    const std::size_t at = static_cast<std::size_t>(*archive.rows[GetParam().entry].entryOffset) +
                           format::CompressedSizeAt;
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(uint32_t(GetParam().compressedSize) >> (8 * i));
    rewriteArchive(bytes);
    addFile("C:\\Docs\\d.txt", "delta");

    try {
        archiveAndReload();
        ADD_FAILURE() << "the update was not refused";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("est endommagée"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(bytesOf(Archive) == bytes);
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");
    expectNoTemporaries();
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecord,
                         testing::Values(RecordDamage{"MiddlePastTheEnd", 1, 1 << 20},
                                         RecordDamage{"MiddleNegative", 1, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunIntegrity, CatalogReadBeforeAnotherWriterReplacedTheArchiveIsRefused) {
    addFile("C:\\Docs\\a.txt", "alpha");
    addFile("C:\\Docs\\b.txt", "beta");
    ASSERT_TRUE(archiveAndReload().clean());  // and the catalog read back
    remove("C:\\Docs\\b.txt");
    // Another writer stores a new file meanwhile, from a catalog of its own.
    OpenArchive other = archive;
    other.rows.insert(other.rows.begin(), newRow("C:\\Docs\\0.txt"));
    drives.writeFile("C:\\Docs\\0.txt", std::string(3000, '0'));
    ASSERT_TRUE(ArchiveFiles(other, options, env, ui).clean());
    remove("C:\\Docs\\0.txt");
    const std::string written = bytesOf(Archive);
    auto names = [this] {
        std::vector<std::string> list;
        for (const RawEntry& e : entriesOf(Archive)) list.push_back(e.record.fileName);
        return list;
    };

    // The catalog of before knows nothing of 0.txt: writing it would drop it.
    ui = test::RecordingUi();
    ArchiveResult r = archiveAndReload();
    EXPECT_TRUE(r.changed);
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{changedMessage(Archive)});
    EXPECT_TRUE(bytesOf(Archive) == written);
    ui = test::RecordingUi();
    EXPECT_TRUE(AutoArchiveFiles(archive, options, env, ui).changed);
    EXPECT_TRUE(bytesOf(Archive) == written);

    // Read again, the catalog holds every entry, and the run keeps them all.
    LoadArchive(archive, ui);
    r = archiveAndReload();
    EXPECT_TRUE(r.clean());
    EXPECT_EQ(r.carriedOver, 2);
    EXPECT_EQ(names(), (std::vector<std::string>{"0.txt", "a.txt", "b.txt"}));
    expectNoTemporaries();
}

TEST_F(RunIntegrity, OwnCommentRewriteIsNoOtherWriter) {
    addFile("C:\\Docs\\a.txt", "alpha");
    ASSERT_TRUE(archiveAndReload().clean());
    archive.comment = "nouveau commentaire";
    ASSERT_TRUE(WriteHeaderOnly(archive, ui));
    EXPECT_TRUE(archiveAndReload().clean());

    // A new archive: a file that appears at its name meanwhile is another
    // writer's, and is not written over.
    archive.path = "C:\\Arch\\neuve.kvr";
    LoadArchive(archive, ui);
    drives.writeFile(archive.path, "d'un autre");
    EXPECT_TRUE(archiveAndReload().changed);
    EXPECT_EQ(bytesOf(archive.path), "d'un autre");
}

TEST_F(RunIntegrity, EveryWriterIsRefusedWhileAnotherHoldsTheArchive) {
    addFile("C:\\Docs\\a.txt", "alpha");
    ASSERT_TRUE(archiveAndReload().clean());
    const std::string before = bytesOf(Archive);
    drives.writeFile("C:\\Docs\\a.txt", "alpha, changé");
    archive.comment = "autre commentaire";
    const std::string busy = WriterLock::busyMessage(Archive);
    const WriterLock other(Archive);  // another run, in this process or another
    ASSERT_EQ(other.state(), WriterLock::State::Held);

    ui = test::RecordingUi();
    const ArchiveResult interactive = archiveAndReload();
    EXPECT_TRUE(interactive.busy);
    EXPECT_FALSE(interactive.clean());
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{busy});
    EXPECT_EQ(ui.lastLabel(ProgressLabel::File), "Terminé");

    ui = test::RecordingUi();
    EXPECT_TRUE(AutoArchiveFiles(archive, options, env, ui).busy);
    EXPECT_TRUE(ui.messages.empty());

    ui = test::RecordingUi();
    EXPECT_FALSE(WriteHeaderOnly(archive, ui));
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{busy});

    EXPECT_TRUE(bytesOf(Archive) == before);
    EXPECT_TRUE(namesIn("C:\\Work").empty());
}

}  // namespace
}  // namespace kv
