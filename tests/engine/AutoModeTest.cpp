// The automatic mode end to end inside one process: AutoSave.cfg, the load,
// the script, the run, the journal lines and the exit status, with faults
// from the platform double.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "EngineRunFixture.h"
#include "engine/ArchiveRun.h"
#include "engine/AutoArchive.h"
#include "engine/AutoMode.h"
#include "engine/AutoSaveSettings.h"
#include "engine/CatalogReader.h"
#include "engine/SelectionScript.h"
#include "platform/WriterLock.h"
#include "util/IniFile.h"

namespace kv {
namespace {

constexpr const char* Script = "C:\\Korvelt\\Script\\docs.kvl";

class AutoMode : public test::EngineRunFixture {
  protected:
    // An archive of a.txt and b.txt; a script naming a.txt and the new c.txt;
    // the settings naming both; an empty journal, as the scheduler leaves it.
    void SetUp() override {
        EngineRunFixture::SetUp();
        fault.install();
        addFile("C:\\Docs\\a.txt", "alpha");
        addFile("C:\\Docs\\b.txt", "beta");
        ASSERT_TRUE(ArchiveFiles(archive, options, env, ui).clean());
        drives.writeFile("C:\\Docs\\c.txt", "gamma");
        drives.makeFolder("C:\\Korvelt\\Script");
        WriteSelectionScript(Script, {"C:\\Docs\\a.txt", "C:\\Docs\\c.txt"});
        settings.archive = Archive;
        settings.script = Script;
        ASSERT_TRUE(WriteAutoSaveSettings(AutoSavePath(), settings));
        drives.writeFile(JournalPath(), "");
        firstEntry = entriesOf(Archive)[0].bytes;

        archive = OpenArchive();
        options = RunOptions();
        options.workFolder = "C:\\Work\\";
        env.now = [] { return DateTime{2026, 12, 8, 20, 0, 5}; };
    }

    int run() {
        UnattendedUi unattended;
        AutoModeOptions autoOptions;
        autoOptions.typeName = [](const std::string&) { return std::string("Texte"); };
        autoOptions.archiveWait = std::chrono::milliseconds(300);
        return RunAutoSave(archive, options, env, unattended, autoOptions);
    }

    std::vector<std::string> journal() const {
        std::vector<std::string> lines;
        std::string all = bytesOf(JournalPath());
        for (std::size_t at; (at = all.find("\r\n")) != std::string::npos; all.erase(0, at + 2))
            lines.push_back(all.substr(0, at));
        return lines;
    }

    std::vector<std::string> storedNames() const {
        std::vector<std::string> names;
        for (const auto& e : entriesOf(Archive)) names.push_back(e.record.fileName);
        return names;
    }

    test::FaultPlatform fault;
    AutoSaveSettings settings;
    std::string firstEntry;  // a.txt as the archive holds it
};

TEST_F(AutoMode, StoresTheScriptsFilesAndEndsWithZeroAndNoLine) {
    EXPECT_EQ(run(), autoexit::Ok);
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_TRUE(journal().empty());
    expectNoTemporaries();
}

TEST_F(AutoMode, LockedFileKeepsItsEntryAndGivesALineAndAStatus) {
    fault.holdExclusively("C:\\Docs\\a.txt");
    fault.holdExclusively("C:\\Docs\\c.txt");

    EXPECT_EQ(run(), autoexit::Incomplete);

    fault.reset();
    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(entriesOf(Archive)[0].bytes, firstEntry);
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "08/12/2026 20:00:05 - C:\\Docs\\a.txt : fichier utilisé par un autre "
                             "programme, non archivé ; sa copie précédente reste dans l'archive",
                             "08/12/2026 20:00:05 - C:\\Docs\\c.txt : fichier utilisé par un autre "
                             "programme, non archivé ; il ne figure pas dans l'archive"}));
}

TEST_F(AutoMode, LongNameIsSkippedWithALineInsteadOfAQuestion) {
    const std::string longName = "C:\\Docs\\" + std::string(101, 'n') + ".txt";
    drives.writeFile(longName, "x");
    WriteSelectionScript(Script, {"C:\\Docs\\a.txt", longName});

    EXPECT_EQ(run(), autoexit::Incomplete);

    EXPECT_EQ(storedNames(), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(journal(),
              (std::vector<std::string>{"08/12/2026 20:00:05 - " + std::string(101, 'n') +
                                        ".txt : nom de plus de 100 caractères, non "
                                        "archivé"}));
}

// Outcomes that leave the archive exactly as it was.
struct UntouchedCase {
    const char* name;
    std::function<void(test::TempDrives&, test::FaultPlatform&)> arrange;
    int status;
    std::string lastLine;  // how the journal's last line starts, without its stamp when it has one
};

class AutoModeUntouched : public AutoMode, public testing::WithParamInterface<UntouchedCase> {};

TEST_P(AutoModeUntouched, KeepsTheArchiveWritesTheLineAndTellsTheStatus) {
    GetParam().arrange(drives, fault);
    const std::string before = bytesOf(Archive);

    EXPECT_EQ(run(), GetParam().status);

    fault.reset();
    EXPECT_EQ(bytesOf(Archive), before);
    const std::vector<std::string> lines = journal();
    ASSERT_FALSE(lines.empty());
    std::string last = lines.back();
    if (last.rfind("08/12/2026 20:00:05 - ", 0) == 0) last.erase(0, 22);
    EXPECT_THAT(last, testing::StartsWith(GetParam().lastLine));
    expectNoTemporaries();
}

TEST_F(AutoMode, AnotherWriterDuringTheScriptLosesNothing) {
    // While the script is read, another writer (kvr update, the window)
    // stores d.txt from a catalog of its own.
    drives.writeFile("C:\\Docs\\d.txt", "delta");
    std::optional<ArchiveResult> other;
    UnattendedUi unattended;
    AutoModeOptions autoOptions;
    autoOptions.archiveWait = std::chrono::milliseconds(300);
    autoOptions.typeName = [&](const std::string&) {
        if (!other) {
            OpenArchive writer;
            writer.path = Archive;
            RunOptions writerOptions;
            writerOptions.workFolder = "C:\\Work\\";
            test::RecordingUi quiet;
            LoadArchive(writer, quiet);
            writer.rows.push_back(newRow("C:\\Docs\\d.txt"));
            other = ArchiveFiles(writer, writerOptions, env, quiet);
        }
        return std::string("Texte");
    };

    EXPECT_EQ(RunAutoSave(archive, options, env, unattended, autoOptions), autoexit::Ok);

    ASSERT_TRUE(other);
    // The other writer waits for this run (refused, its catalog unwritten), or
    // what it stored is still there.
    std::vector<std::string> expected{"a.txt", "b.txt", "c.txt"};
    if (other->busy)
        EXPECT_FALSE(other->replaced);
    else
        expected.push_back("d.txt");
    std::vector<std::string> names = storedNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);
}

TEST_F(AutoMode, ArchiveInUseIsWaitedForThenLeftAsItIs) {
    // Another program's writer holds the archive's lock, and its lock file.
    const std::string lock = WriterLock::lockPath(Archive);
    drives.writeFile(lock, "");
    fault.holdLock(lock);
    const std::string before = bytesOf(Archive);

    EXPECT_EQ(run(), autoexit::InUse);

    fault.reset();
    EXPECT_EQ(bytesOf(Archive), before);
    ASSERT_FALSE(journal().empty());
    EXPECT_EQ(journal().back(),
              std::string("08/12/2026 20:00:05 - Archive utilisée par un autre programme depuis "
                          "plus d'une minute, laissée telle quelle : ") +
                  Archive);
    EXPECT_TRUE(namesIn("C:\\Work").empty());
}

using D = test::TempDrives;
using F = test::FaultPlatform;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, AutoModeUntouched,
    testing::Values(
        UntouchedCase{"NoSettings", [](D&, F&) { platform().removeFile(AutoSavePath()); },
                      autoexit::NoSettings,
                      "Fichier AutoSave.cfg absent ou sans archive, rien n'a été archivé"},
        UntouchedCase{
            "NoArchive",
            [](D&, F&) {
                IniFile(AutoSavePath()).writeString("Archive", "Auto_Arch", "C:\\Arch\\autre.kvr");
            },
            autoexit::NoArchive, "Archive introuvable : C:\\Arch\\autre.kvr"},
        UntouchedCase{"NoScript", [](D&, F&) { platform().removeFile(Script); }, autoexit::NoScript,
                      std::string("Script introuvable, rien n'a été archivé : ") + Script},
        UntouchedCase{"NotAnArchive",
                      [](D& d, F&) {
                          std::string bytes = d.readFile("C:\\Arch\\backup.kvr");
                          bytes[1] = '(';
                          d.writeFile("C:\\Arch\\backup.kvr", bytes);
                      },
                      autoexit::Unreadable,
                      "Archive illisible, laissée telle quelle : C:\\Arch\\backup.kvr"},
        UntouchedCase{"NoRoom", [](D&, F& f) { f.setFreeBytes('C', 100); }, autoexit::NoRoom,
                      NoRoomJournalLine},
        UntouchedCase{"ReadOnlyArchive",
                      [](D&, F&) {
                          platform().setAttributes("C:\\Arch\\backup.kvr",
                                                   attr::Archive | attr::ReadOnly);
                      },
                      autoexit::NotReplaced,
                      "L'archive n'a pas pu être remplacée, elle reste telle qu'elle était : "
                      "C:\\Arch\\backup.kvr"},
        UntouchedCase{"WorkFolderFull", [](D&, F& f) { f.diskFullAfter("C:\\Work\\", 200); },
                      autoexit::Stopped,
                      "Sauvegarde interrompue, archive laissée telle quelle : Erreur d'écriture "
                      "du fichier C:\\Work\\~kvr"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kv
