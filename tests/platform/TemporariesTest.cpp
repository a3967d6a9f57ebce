// Exclusive creation, advisory locks, the program's temporaries and writer
// locks, and host names that are not Windows names as they stand.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/HostNames.h"
#include "platform/HostPlatform.h"
#include "platform/TempFile.h"
#include "platform/WriterLock.h"
#include "tests/support/FaultPlatform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class Temporaries : public testing::Test {
  protected:
    void SetUp() override { drives.makeFolder("C:\\W"); }

    std::vector<std::string> namesIn(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(drives.hostPath(folder)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::unique_ptr<File> open(const std::string& path, OpenMode mode = OpenMode::Read) {
        return platform().open(path, mode);
    }

    test::TempDrives drives;
};

TEST_F(Temporaries, CreateNewNeverOpensWhatIsThere) {
    drives.writeFile("C:\\W\\pris.txt", "à garder");
    drives.makeFolder("C:\\W\\dossier");
    EXPECT_FALSE(open("C:\\W\\pris.txt", OpenMode::CreateNew));
    EXPECT_FALSE(open("C:\\W\\PRIS.TXT", OpenMode::CreateNew));
    EXPECT_FALSE(open("C:\\W\\dossier", OpenMode::CreateNew));
    EXPECT_EQ(drives.readFile("C:\\W\\pris.txt"), "à garder");

    auto fresh = open("C:\\W\\neuf.txt", OpenMode::CreateNew);
    ASSERT_TRUE(fresh);
    ASSERT_TRUE(fresh->write("abc", 3));
    char back[3];
    ASSERT_TRUE(fresh->seek(0));
    EXPECT_EQ(fresh->read(back, 3), 3);  // read and write through one handle
    EXPECT_EQ(std::string(back, 3), "abc");
}

TEST_F(Temporaries, LocksConflictBetweenOpenFilesAndFollowTheName) {
    drives.writeFile("C:\\W\\a.txt", "x");
    auto first = open("C:\\W\\a.txt");
    auto second = open("C:\\W\\a.txt");
    ASSERT_TRUE(first->lock(LockKind::Shared));
    EXPECT_TRUE(second->lock(LockKind::Shared));
    auto third = open("C:\\W\\a.txt");
    EXPECT_FALSE(third->lock(LockKind::Exclusive));
    first->close();
    second->close();
    EXPECT_TRUE(third->lock(LockKind::Exclusive));
    EXPECT_FALSE(open("C:\\W\\a.txt")->lock(LockKind::Shared));

    // A file removed, or replaced under its name, is no longer what a lock would guard.
    auto gone = open("C:\\W\\a.txt");
    third->close();
    platform().removeFile("C:\\W\\a.txt");
    EXPECT_FALSE(gone->lock(LockKind::Exclusive));
}

TEST_F(Temporaries, TempFilesAreUniqueHeldAndRemovedUnlessRenamed) {
    std::string firstPath;
    {
        TempFile a("C:\\W\\", TempFile::PayloadStem);
        TempFile b("C:\\W\\", TempFile::PayloadStem);
        ASSERT_TRUE(a && b);
        firstPath = a.path();
        EXPECT_NE(a.path(), b.path());
        EXPECT_EQ(a.path().rfind("C:\\W\\tempKVR-" + std::to_string(getpid()) + "-", 0), 0u);
        EXPECT_EQ(a.path().substr(a.path().size() - 4), ".tmp");
        EXPECT_EQ(RemoveStaleTemporaries("C:\\W\\"), 0);  // both are held
        EXPECT_EQ(namesIn("C:\\W").size(), 2u);
    }
    EXPECT_TRUE(namesIn("C:\\W").empty());

    drives.writeFile("C:\\W\\cible.txt", "ancien");
    TempFile c("C:\\W\\", TempFile::CopyStem);
    ASSERT_TRUE(c.file().write("nouveau", 7));
    ASSERT_TRUE(c.close());
    EXPECT_EQ(RemoveStaleTemporaries("C:\\W\\"), 0);  // still held between close and rename
    ASSERT_TRUE(c.renameTo("C:\\W\\cible.txt"));
    EXPECT_FALSE(c);
    EXPECT_EQ(drives.readFile("C:\\W\\cible.txt"), "nouveau");
    EXPECT_EQ(namesIn("C:\\W"), std::vector<std::string>{"cible.txt"});

    EXPECT_FALSE(TempFile("C:\\Absent\\", TempFile::CopyStem));
}

TEST_F(Temporaries, ReplacingAFileThatCannotBeWrittenKeepsTheOldOne) {
    drives.writeFile("C:\\W\\journal.txt", "lundi\r\n");
    EXPECT_TRUE(ReplaceFileContents("C:\\W\\journal.txt", "mardi\r\n"));
    EXPECT_EQ(drives.readFile("C:\\W\\journal.txt"), "mardi\r\n");
    test::FaultPlatform fault;
    fault.install();
    fault.diskFullAfter("C:\\W\\", 3);
    EXPECT_FALSE(ReplaceFileContents("C:\\W\\journal.txt", "mercredi\r\n"));
    fault.reset();
    EXPECT_EQ(drives.readFile("C:\\W\\journal.txt"), "mardi\r\n");
    EXPECT_EQ(namesIn("C:\\W"), std::vector<std::string>{"journal.txt"});
}

TEST_F(Temporaries, WriterLockAllowsOneWriterAndLeavesNothing) {
    drives.writeFile("C:\\W\\a.kvr", "archive");
    {
        WriterLock first("C:\\W\\a.kvr");
        EXPECT_EQ(first.state(), WriterLock::State::Held);
        EXPECT_TRUE(WriterLock("C:\\W\\a.kvr").busy());
        EXPECT_TRUE(WriterLock("c:\\w\\A.KVR").busy());  // the same archive, spelled otherwise
        EXPECT_EQ(WriterLock("C:\\W\\b.kvr").state(), WriterLock::State::Held);
    }
    EXPECT_EQ(namesIn("C:\\W"), std::vector<std::string>{"a.kvr"});
    EXPECT_EQ(WriterLock("C:\\W\\a.kvr").state(), WriterLock::State::Held);
    EXPECT_EQ(WriterLock("C:\\Absent\\a.kvr").state(), WriterLock::State::Unavailable);

    test::FaultPlatform fault;
    fault.install();
    fault.holdLock(WriterLock::lockPath("C:\\W\\a.kvr"));
    EXPECT_TRUE(WriterLock("C:\\W\\a.kvr").busy());
}

// A program that is killed holds nothing any more: its writer lock is free
// and its temporaries are leftovers that the next run clears.
TEST_F(Temporaries, WhatAKilledProgramHeldIsFreedWithIt) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        static WriterLock lock("C:\\W\\a.kvr");
        static TempFile leftover("C:\\W\\", TempFile::CopyStem);
        const char state = lock.state() == WriterLock::State::Held && leftover ? 'y' : 'n';
        (void)!write(ready[1], &state, 1);
        for (;;) pause();
    }
    close(ready[1]);
    char state = 0;
    ASSERT_EQ(read(ready[0], &state, 1), 1);
    close(ready[0]);
    ASSERT_EQ(state, 'y');
    EXPECT_TRUE(WriterLock("C:\\W\\a.kvr").busy());
    EXPECT_EQ(RemoveStaleTemporaries("C:\\W\\"), 0);

    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    EXPECT_EQ(WriterLock("C:\\W\\a.kvr").state(), WriterLock::State::Held);
    EXPECT_EQ(RemoveStaleTemporaries("C:\\W\\"), 1);
    EXPECT_TRUE(namesIn("C:\\W").empty());
}

struct NameCase {
    const char* name;
    std::string host;
    std::optional<std::string> windows;
};

class HostName : public testing::TestWithParam<NameCase> {};

TEST_P(HostName, MapsBothWaysOrNotAtAll) {
    EXPECT_EQ(hostnames::toWindowsName(GetParam().host), GetParam().windows);
    if (GetParam().windows) {
        EXPECT_EQ(hostnames::toHostName(*GetParam().windows), GetParam().host);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, HostName,
                         testing::Values(NameCase{"Utf8", "Été Ω.txt", "Été Ω.txt"},
                                         NameCase{"Latin1", "caf\xE9.txt", "caf\uF7E9.txt"},
                                         NameCase{"LoneBytes", "\xFF\x80x", "\uF7FF\uF780x"},
                                         NameCase{"CutSequence", "a\xC3", "a\uF7C3"},
                                         NameCase{"Backslash", "a\\b", std::nullopt},
                                         NameCase{"EscapeOfItsOwn", "x\uF7E9", std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostNameBack, EscapesThatWouldReadAsUtf8AreRefused) {
    EXPECT_EQ(hostnames::toHostName("\uF7C3\uF7A9"), std::nullopt);  // would be "é"
    EXPECT_EQ(hostnames::toHostName("plain.txt"), "plain.txt");
}

TEST_F(Temporaries, NamesThatAreNoWindowsNamesAreReportedNotListed) {
    const std::string host = drives.root('C') + "/W/";
    std::ofstream(host + "caf\xE9.txt") << "latin";
    std::ofstream(host + "a\\b.txt") << "backslash";
    std::ofstream(host + "ok.txt") << "ok";

    std::vector<std::string> unwritable;
    const auto entries = platform().find("C:\\W\\*.*", attr::AnyFile, &unwritable);
    std::vector<std::string> names;
    for (const FindEntry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"caf\uF7E9.txt", "ok.txt"}));
    EXPECT_EQ(unwritable, std::vector<std::string>{"a\\b.txt"});
    EXPECT_EQ(platform().toHost("C:\\W\\caf\uF7E9.txt"), host + "caf\xE9.txt");
    EXPECT_EQ(platform().toWindows(host + "caf\xE9.txt"), "C:\\W\\caf\uF7E9.txt");
    EXPECT_EQ(platform().toWindows(host + "a\\b.txt"), std::nullopt);
    EXPECT_TRUE(platform().fileExists("C:\\W\\caf\uF7E9.txt"));
}

}  // namespace
}  // namespace kv
