// Repairing a damaged archive: every sound entry is found again, in order,
// past damaged records and members; what is lost is named and counted; the
// old file is kept beside the new one, and nothing is written when there is
// nothing to repair or no way to.

#include <filesystem>
#include <functional>

#include "engine/ArchiveRepair.h"
#include "engine/CatalogReader.h"
#include "engine/EntryCheck.h"
#include "platform/WriterLock.h"
#include "tests/engine/EngineRunFixture.h"
#include "tests/engine/HandMadeArchive.h"
#include "util/Error.h"

namespace kv::test {
namespace {

// Texts of a few kilobytes that deflate well, each its own.
std::string contentOf(char letter, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += std::string("Ligne ") + letter + " numéro " + std::to_string(i) + " du fichier\n";
    return text;
}

class ArchiveRepairTest : public EngineRunFixture {
  protected:
    static constexpr const char* Backup = "C:\\Arch\\backup.kvr.bak";

    // a.txt, b.txt, c.txt, d.txt in C:\Docs\; the offsets of their records.
    std::vector<int64_t> fourEntries(format::Version version = format::Version::V1) {
        return writeHandArchive(Archive,
                                {HandEntry("C:\\Docs\\", "a.txt", contentOf('a', 120)),
                                 HandEntry("C:\\Docs\\", "b.txt", contentOf('b', 90)),
                                 HandEntry("C:\\Docs\\", "c.txt", contentOf('c', 150)),
                                 HandEntry("C:\\Docs\\", "d.txt", contentOf('d', 60))},
                                "mon commentaire", version);
    }

    // Changes the archive's bytes in place.
    void damage(const std::function<void(std::string&)>& change) {
        std::string bytes = bytesOf(Archive);
        change(bytes);
        writeWinFile(Archive, bytes);
    }

    // The file names of an archive's entries, after checking that every one
    // is sound and that the records chain to the end.
    std::vector<std::string> soundNames(const std::string& archive) {
        std::vector<std::string> names;
        auto file = platform().open(archive, OpenMode::Read);
        EXPECT_TRUE(file);
        if (!file) return names;
        format::ArchiveWalker walk(*file);
        while (auto record = walk.next()) {
            EXPECT_TRUE(format::CheckEntry(*file, *record, walk.payloadStart()).sound())
                << record->fileName;
            names.push_back(record->fileName);
        }
        EXPECT_EQ(walk.problem(), "");
        return names;
    }
};

struct Damage {
    const char* name;
    void (*apply)(std::string& bytes, const std::vector<int64_t>& offsets);
    std::vector<std::string> kept;  // file names of the repaired archive
    // RepairLoss::text() of each loss, in order, given the records' offsets.
    std::vector<std::string> (*losses)(const std::vector<int64_t>& offsets);
    int corrections;
};

class RepairOf : public ArchiveRepairTest, public testing::WithParamInterface<Damage> {};

TEST_P(RepairOf, KeepsEverySoundEntryAndTheOriginal) {
    const Damage& c = GetParam();
    const std::vector<int64_t> offsets = fourEntries();
    damage([&](std::string& bytes) { c.apply(bytes, offsets); });
    const std::string damaged = bytesOf(Archive);

    {
        ArchiveRepair repair(Archive);
        ASSERT_EQ(repair.examine(ui), ArchiveRepair::Finding::Damaged);
        EXPECT_EQ(repair.kept(), static_cast<int>(c.kept.size()));
        std::vector<std::string> losses;
        for (const RepairLoss& loss : repair.losses()) losses.push_back(loss.text());
        EXPECT_EQ(losses, c.losses(offsets));
        EXPECT_EQ(static_cast<int>(repair.corrections().size()), c.corrections);
        EXPECT_EQ(repair.backupPath(), Backup);
        ASSERT_TRUE(repair.write(ui));
    }

    EXPECT_EQ(soundNames(Archive), c.kept);
    EXPECT_TRUE(bytesOf(Backup) == damaged) << "the original is kept as it was";
    EXPECT_EQ(namesIn("C:\\Arch"), (std::vector<std::string>{"backup.kvr", "backup.kvr.bak"}));
    // The repaired archive loads whole, with its comment, and takes updates again.
    archive.rows.clear();
    const LoadResult loaded = LoadArchive(archive, ui);
    EXPECT_EQ(loaded.outcome, LoadOutcome::Loaded) << loaded.error;
    EXPECT_EQ(archive.comment, "mon commentaire");
    EXPECT_EQ(archive.rows.size(), c.kept.size());
}

// Entry sizes: a 416-byte record, then the payload; "b" is entry 1.
INSTANTIATE_TEST_SUITE_P(
    Archives, RepairOf,
    testing::Values(
        Damage{"CutInsideARecord",
               [](std::string& bytes, const auto& o) { bytes.resize(std::size_t(o[3] + 200)); },
               {"a.txt", "b.txt", "c.txt"},
               [](const auto& o) {
                   return std::vector<std::string>{
                       "la fin de l'archive est coupée au milieu d'une entrée (200 octet(s) à "
                       "la position " +
                       std::to_string(o[3]) + ")"};
               },
               0},
        Damage{"FlippedByteInTheSizeOfARecord",
               [](std::string& bytes, const auto& o) {
                   bytes[std::size_t(o[1]) + format::FileSizeAt] ^= 0x04;
               },
               {"a.txt", "c.txt", "d.txt"},
               [](const auto&) {
                   return std::vector<std::string>{
                       "< C:\\Docs\\b.txt > : taille différente de celle de l'entrée"};
               },
               0},
        Damage{"FlippedByteInTheCompressedSizeOfARecord",
               [](std::string& bytes, const auto& o) {
                   bytes[std::size_t(o[1]) + format::CompressedSizeAt + 1] ^= 0x40;
               },
               {"a.txt", "b.txt", "c.txt", "d.txt"},
               [](const auto&) { return std::vector<std::string>{}; },
               1},
        Damage{"DamagedMemberInTheMiddle",
               [](std::string& bytes, const auto& o) {
                   bytes[std::size_t(o[1] + format::RecordSize + 200)] ^= 0x55;
               },
               {"a.txt", "c.txt", "d.txt"},
               [](const auto&) {
                   return std::vector<std::string>{"< C:\\Docs\\b.txt > : CRC-32 incorrect"};
               },
               0},
        Damage{"UnreadableRecordAndMemberStart",
               [](std::string& bytes, const auto& o) {
                   for (std::size_t i = 0; i < format::RecordSize + 3; ++i)
                       bytes[std::size_t(o[2]) + i] = char(0xEE);
               },
               {"a.txt", "b.txt", "d.txt"},
               [](const auto& o) {
                   return std::vector<std::string>{std::to_string(o[3] - o[2]) +
                                                   " octet(s) illisible(s) à la position " +
                                                   std::to_string(o[2])};
               },
               0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArchiveRepairTest, NothingIsWrittenWithoutDamageOrWithoutAWayToRepair) {
    const std::vector<int64_t> offsets = fourEntries();
    {
        ArchiveRepair repair(Archive);
        EXPECT_EQ(repair.examine(ui), ArchiveRepair::Finding::Sound);
        EXPECT_EQ(repair.kept(), 4);
        EXPECT_TRUE(repair.losses().empty());
    }
    {
        const WriterLock other(Archive);
        ArchiveRepair repair(Archive);
        EXPECT_EQ(repair.examine(ui), ArchiveRepair::Finding::Busy);
    }
    damage([&](std::string& bytes) { bytes[std::size_t(offsets[1] + 600)] ^= 0x55; });
    const std::string damaged = bytesOf(Archive);
    {
        // Escape during the examination, then during the writing.
        ui.goOn = false;
        EXPECT_EQ(ArchiveRepair(Archive).examine(ui), ArchiveRepair::Finding::Stopped);
        ui.goOn = true;
        ArchiveRepair again(Archive);
        ASSERT_EQ(again.examine(ui), ArchiveRepair::Finding::Damaged);
        ui.goOn = false;
        EXPECT_FALSE(again.write(ui));
        ui.goOn = true;
    }
    {
        // A read-only archive is not replaced.
        ASSERT_TRUE(platform().setAttributes(Archive, attr::ReadOnly | attr::Archive));
        ArchiveRepair repair(Archive);
        ASSERT_EQ(repair.examine(ui), ArchiveRepair::Finding::Damaged);
        EXPECT_THROW(repair.write(ui), Error);
        ASSERT_TRUE(platform().setAttributes(Archive, attr::Archive));
    }
    EXPECT_TRUE(bytesOf(Archive) == damaged);
    EXPECT_EQ(namesIn("C:\\Arch"), std::vector<std::string>{"backup.kvr"});

    writeWinFile("C:\\Arch\\autre.kvr", "pas une archive");
    ArchiveRepair notOurs("C:\\Arch\\autre.kvr");
    EXPECT_EQ(notOurs.examine(ui), ArchiveRepair::Finding::Incompatible);
}

TEST_F(ArchiveRepairTest, AWideArchiveIsRepairedInItsOwnRecordsAndKeepsItsPermissions) {
    // V2 records are longer than V1 ones: the search past a damaged entry,
    // the corrected records and the copy all go by the archive's version.
    const std::vector<int64_t> offsets = fourEntries(format::Version::V2);
    damage([&](std::string& bytes) {
        bytes[std::size_t(offsets[1] + format::RecordSizeV2 + 200)] ^= 0x55;
    });
    const std::string host = drives.hostPath(Archive);
    std::filesystem::permissions(host, std::filesystem::perms(0640));
    {
        ArchiveRepair repair(Archive);
        ASSERT_EQ(repair.examine(ui), ArchiveRepair::Finding::Damaged);
        ASSERT_EQ(repair.losses().size(), 1u);
        EXPECT_EQ(repair.losses()[0].text(), "< C:\\Docs\\b.txt > : CRC-32 incorrect");
        ASSERT_TRUE(repair.write(ui));
    }
    EXPECT_EQ(soundNames(Archive), (std::vector<std::string>{"a.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(std::filesystem::status(host).permissions(), std::filesystem::perms(0640))
        << "the repaired archive is readable by whom the damaged one was, no more";
}

TEST_F(ArchiveRepairTest, AnEarlierBackupIsNeverReplaced) {
    const std::vector<int64_t> offsets = fourEntries();
    damage([&](std::string& bytes) { bytes.resize(std::size_t(offsets[3] + 10)); });
    writeWinFile(Backup, "la sauvegarde d'avant");
    ArchiveRepair repair(Archive);
    ASSERT_EQ(repair.examine(ui), ArchiveRepair::Finding::Damaged);
    EXPECT_EQ(repair.backupPath(), std::string(Backup) + "2");
    ASSERT_TRUE(repair.write(ui));
    EXPECT_EQ(bytesOf(Backup), "la sauvegarde d'avant");
    EXPECT_EQ(soundNames(Archive), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
}

struct Fault {
    const char* name;
    void (*inject)(FaultPlatform& fp);
};

class FailedRepair : public ArchiveRepairTest, public testing::WithParamInterface<Fault> {};

TEST_P(FailedRepair, LeavesTheArchiveAsItWasAndNothingBeside) {
    const std::vector<int64_t> offsets = fourEntries();
    damage([&](std::string& bytes) { bytes[std::size_t(offsets[2] + 600)] ^= 0x55; });
    const std::string damaged = bytesOf(Archive);
    FaultPlatform fp;
    fp.install();
    GetParam().inject(fp);
    {
        ArchiveRepair repair(Archive);
        ASSERT_EQ(repair.examine(ui), ArchiveRepair::Finding::Damaged);
        EXPECT_THROW(repair.write(ui), Error);
    }
    fp.reset();
    EXPECT_TRUE(bytesOf(Archive) == damaged);
    EXPECT_EQ(namesIn("C:\\Arch"), std::vector<std::string>{"backup.kvr"});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedRepair,
    testing::Values(Fault{"DiskFull",
                          [](FaultPlatform& fp) { fp.diskFullAfter("C:\\Arch\\", 1000); }},
                    Fault{"NoRoom", [](FaultPlatform& fp) { fp.setFreeBytes('C', 2000); }},
                    Fault{"ArchiveCannotStepAside",
                          [](FaultPlatform& fp) { fp.failRename("C:\\Arch\\backup.kvr"); }},
                    Fault{"CopyCannotTakeItsPlace",
                          [](FaultPlatform& fp) { fp.failRename("C:\\Arch\\~kvr*"); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv::test
