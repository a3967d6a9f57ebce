// Restore with workers that inflate the entries ahead: the files written
// (bytes, dates, names) and everything the Ui is told are those of a restore
// on one thread, whatever the entries are (damaged, refused, one name twice,
// a newer file asked about, large, empty), when the restore is stopped at an
// entry, and for selected rows; nothing is left behind beside the files.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "HandMadeArchive.h"
#include "engine/CatalogReader.h"
#include "engine/EntryCheck.h"
#include "engine/OpenArchive.h"
#include "engine/Restore.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/Members.h"
#include "support/RecordingUi.h"

namespace kv {
namespace {

using test::HandEntry;

constexpr int32_t Later = 0x5C210000;    // 1 Jan 2026, after the entries' date
constexpr int32_t Earlier = 0x58210000;  // 1 Jan 2024

// What a restore left on disk and told.
struct Seen {
    std::map<std::string, std::string> files;  // relative host path -> bytes and date
    std::vector<std::string> calls;
    std::vector<int> counts;
    bool operator==(const Seen&) const = default;
};

class ParallelRestore : public testing::Test {
  protected:
    void SetUp() override {
        platform().createDirectory("C:\\Work");
        archive.path = "C:\\backup.kvr";
        std::vector<HandEntry> entries;
        for (int i = 0; i < 30; ++i)
            entries.push_back({"C:\\Docs\\Sub" + std::to_string(i % 3) + "\\",
                               "f" + std::to_string(i) + ".txt",
                               test::slowText(500 + 7000 * (i % 4), i)});
        entries.push_back({"C:\\Docs\\", "gros.txt", test::slowText(3 << 20, 99)});
        entries.push_back({"C:\\Docs\\", "vide.txt", ""});
        HandEntry bad{"C:\\Docs\\", "abime.txt", test::slowText(20000, 5)};
        bad.corruptPayload = true;
        entries.push_back(bad);
        entries.push_back({"C:\\Docs\\..\\..\\", "evade.txt", "dehors"});
        entries.push_back({"C:\\Docs\\SUB0\\", "F0.TXT", "le même nom"});
        for (int i = 30; i < 45; ++i)
            entries.push_back(
                {"C:\\Docs\\Sub3\\", "f" + std::to_string(i) + ".txt", test::slowText(900, i)});
        test::writeHandArchive(archive.path, entries);
    }

    // A restore into C:\Out with the tree, from the same files there each
    // time: f1.txt newer than its stored copy (asked about), f2.txt older.
    Seen restore(int threads, const std::vector<std::size_t>& selected = {}) {
        std::filesystem::remove_all(drives.hostPath("C:\\Out"));
        putFile("C:\\Out\\Docs\\Sub1\\f1.txt", "plus récent", Later);
        putFile("C:\\Out\\Docs\\Sub2\\f2.txt", "plus ancien", Earlier);
        ui = test::RecordingUi();
        ui.script({Answer::No});
        if (stopAt) {
            ui.onPump = [this] {
                if (ui.lastLabel(ProgressLabel::File) == "Fichier : " + *stopAt) ui.cancel = true;
            };
        }
        RestoreChoices choices{
            selected.empty() ? RestoreSelection::AllEntries : RestoreSelection::SelectedRows, false,
            true, "C:\\Out\\"};
        choices.threads = threads;
        const RestoreOutcome o = RestoreFiles(archive, choices, selected, ui);

        Seen seen;
        const std::filesystem::path root = drives.hostPath("C:\\Out");
        for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
            if (!e.is_regular_file()) continue;
            const std::string path = e.path().lexically_relative(root).string();
            seen.files[path] =
                test::readWinFile(*platform().toWindows(e.path().string())) + "@" +
                std::to_string(*platform().lastWriteDos(*platform().toWindows(e.path().string())));
        }
        seen.calls = ui.calls;
        seen.counts = {o.restored, o.failed, o.notFound, o.kept, o.stopped};
        return seen;
    }

    void putFile(const std::string& path, const std::string& bytes, int32_t dos) {
        drives.writeFile(path, bytes);
        ASSERT_TRUE(platform().setLastWriteDos(path, dos));
    }

    test::TempDrives drives;
    test::RecordingUi ui;
    OpenArchive archive;
    std::optional<std::string> stopAt;
};

TEST_F(ParallelRestore, EveryEntryIsWhatOneThreadWrites) {
    const Seen one = restore(1);
    EXPECT_EQ(restore(2), one);
    EXPECT_EQ(restore(4), one);
    // 50 entries: the damaged one, the one that climbs out and the second
    // F0.TXT are not written, f1.txt is kept.
    EXPECT_EQ(one.counts, (std::vector<int>{46, 3, 0, 1, 0}));
    EXPECT_EQ(one.files.size(), 47u);
    EXPECT_EQ(one.files.at("Docs/Sub1/f1.txt"), "plus récent@" + std::to_string(Later));
}

TEST_F(ParallelRestore, StopAtAnEntryLeavesWhatOneThreadLeaves) {
    stopAt = "f20.txt";
    const Seen one = restore(1);
    EXPECT_EQ(restore(2), one);
    EXPECT_EQ(one.counts[4], 1);  // stopped
    EXPECT_LT(one.files.size(), 30u);
}

TEST_F(ParallelRestore, SelectedRowsAreWhatOneThreadWrites) {
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < archive.rows.size(); i += 2) selected.push_back(i);
    archive.rows[2].entryOffset.reset();  // never archived
    const Seen one = restore(1, selected);
    EXPECT_EQ(restore(2, selected), one);
    EXPECT_EQ(one.counts[2], 1);  // not found
}

TEST_F(ParallelRestore, TestOnEveryCoreFindsWhatOneFindsInFileOrder) {
    auto checks = [this](int threads) {
        SharedReader shared(platform().open(archive.path, OpenMode::Read));
        const std::unique_ptr<File> view = shared.reader();
        format::ArchiveWalker walk(*view);
        std::vector<std::string> seen;
        format::CheckEntries(
            shared, walk, threads,
            [&](const format::EntryRecord& r, int64_t, const format::EntryCheck& c) {
                seen.push_back(r.fullPath() + " " + c.text());
            });
        EXPECT_TRUE(walk.problem().empty());
        return seen;
    };
    const std::vector<std::string> one = checks(1);
    EXPECT_EQ(checks(3), one);
    ASSERT_EQ(one.size(), 50u);
    EXPECT_EQ(one[32], "C:\\Docs\\abime.txt taille différente de celle de l'entrée");
}

}  // namespace
}  // namespace kv
