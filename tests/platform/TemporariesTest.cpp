// Exclusive creation, advisory locks, the program's temporaries and writer
// locks (what they never follow, the permissions they give, what of other
// users they leave alone), and host names that are not Windows names as they
// stand.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
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

// A user id that is not ours, for files "another user" leaves in a shared
// folder; giving files away takes root, so those tests skip themselves
// otherwise.
constexpr uid_t OtherUser = 4242;

mode_t modeOf(const std::string& hostPath) {
    struct stat st {};
    EXPECT_EQ(lstat(hostPath.c_str(), &st), 0) << hostPath;
    return st.st_mode & 0777;
}

TEST_F(Temporaries, WriterLockNeverWritesThroughWhatIsPlantedUnderItsName) {
    drives.writeFile("C:\\W\\a.kvr", "archive");
    drives.writeFile("C:\\W\\precieux.txt", "à garder");
    const std::string precious = drives.hostPath("C:\\W\\precieux.txt");
    const std::string lock = drives.hostPath(WriterLock::lockPath("C:\\W\\a.kvr"));
    auto expectRefused = [&](const char* what) {
        SCOPED_TRACE(what);
        WriterLock writer("C:\\W\\a.kvr");
        EXPECT_EQ(writer.state(), WriterLock::State::Refused);
        EXPECT_TRUE(writer.stops());
        EXPECT_EQ(writer.message(),
                  "Le fichier de verrou < C:\\W\\~kvra.kvr.lock > n'est pas un fichier "
                  "ordinaire qui vous appartient\r(lien, autre propriétaire ou second nom) "
                  ":\rl'archive < C:\\W\\a.kvr > n'est pas écrite.");
        EXPECT_EQ(drives.readFile("C:\\W\\precieux.txt"), "à garder");
        EXPECT_FALSE(platform().fileExists("C:\\W\\cree.txt"));
    };
    fs::create_symlink(precious, lock);
    expectRefused("a link to another file");
    EXPECT_TRUE(fs::is_symlink(lock));
    fs::remove(lock);
    fs::create_symlink(drives.hostPath("C:\\W\\cree.txt"), lock);
    expectRefused("a dangling link");
    fs::remove(lock);
    fs::create_hard_link(precious, lock);
    expectRefused("a second name of another file");
    fs::remove(lock);

    // What the writer makes there is its own, and a leftover of its own is
    // taken over.
    {
        WriterLock writer("C:\\W\\a.kvr");
        ASSERT_EQ(writer.state(), WriterLock::State::Held);
        EXPECT_EQ(writer.target(), "C:\\W\\a.kvr");
        EXPECT_EQ(modeOf(lock), 0600u);
    }
    drives.writeFile(WriterLock::lockPath("C:\\W\\a.kvr"), "");
    EXPECT_EQ(WriterLock("C:\\W\\a.kvr").state(), WriterLock::State::Held);
}

TEST_F(Temporaries, WriterLockOfALinkedArchiveIsTheFileItLeadsTo) {
    drives.writeFile("C:\\Vrai\\b.kvr", "archive");
    drives.makeFolder("C:\\Lien");
    fs::create_symlink(drives.hostPath("C:\\Vrai\\b.kvr"), drives.hostPath("C:\\Lien\\b.kvr"));
    fs::create_symlink("../Vrai/b.kvr", drives.hostPath("C:\\Lien\\relatif.kvr"));
    {
        WriterLock viaLink("C:\\Lien\\b.kvr");
        ASSERT_EQ(viaLink.state(), WriterLock::State::Held);
        EXPECT_EQ(viaLink.target(), "C:\\Vrai\\b.kvr");
        // One archive, whatever name a writer gives it.
        EXPECT_TRUE(WriterLock("C:\\Vrai\\b.kvr").busy());
        EXPECT_TRUE(WriterLock("C:\\Lien\\relatif.kvr").busy());
    }
    EXPECT_EQ(namesIn("C:\\Lien"), (std::vector<std::string>{"b.kvr", "relatif.kvr"}));

    // A link that leads to no archive file is not written through.
    fs::create_symlink(drives.hostPath("C:\\Vrai\\absent.kvr"),
                       drives.hostPath("C:\\Lien\\perdu.kvr"));
    fs::create_symlink(drives.hostPath("C:\\Vrai"), drives.hostPath("C:\\Lien\\dossier.kvr"));
    for (const std::string name : {"C:\\Lien\\perdu.kvr", "C:\\Lien\\dossier.kvr"}) {
        WriterLock writer(name);
        EXPECT_TRUE(writer.refused()) << name;
        EXPECT_EQ(writer.message(), "L'archive < " + name +
                                        " > est un lien qui ne mène pas à un fichier sûr\r(lien "
                                        "d'un autre utilisateur, cible absente ou dossier) "
                                        ":\relle n'est pas écrite.");
    }
    EXPECT_FALSE(platform().fileExists("C:\\Vrai\\absent.kvr"));
}

TEST_F(Temporaries, TemporariesAreTheirOwnersOnlyAndReplacementsKeepPermissions) {
    TempFile payload("C:\\W\\", TempFile::PayloadStem);
    ASSERT_TRUE(payload);
    EXPECT_EQ(modeOf(drives.hostPath(payload.path())), 0600u);

    // A replaced file keeps its permissions; a new one gets a new file's.
    drives.writeFile("C:\\W\\partage.txt", "ancien");
    fs::permissions(drives.hostPath("C:\\W\\partage.txt"), fs::perms(0640));
    ASSERT_TRUE(ReplaceFileContents("C:\\W\\partage.txt", "nouveau"));
    EXPECT_EQ(modeOf(drives.hostPath("C:\\W\\partage.txt")), 0640u);
    const mode_t old = umask(027);
    const bool replaced = ReplaceFileContents("C:\\W\\neuf.txt", "neuf");
    umask(old);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(modeOf(drives.hostPath("C:\\W\\neuf.txt")), 0640u);
}

TEST_F(Temporaries, WhatAnotherUserOwnsIsNeitherUsedNorRemoved) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files to another user takes root";
    drives.writeFile("C:\\W\\a.kvr", "archive");
    const std::string lock = WriterLock::lockPath("C:\\W\\a.kvr");
    drives.writeFile(lock, "");
    ASSERT_EQ(chown(drives.hostPath(lock).c_str(), OtherUser, OtherUser), 0);
    EXPECT_TRUE(WriterLock("C:\\W\\a.kvr").refused());
    fs::remove(drives.hostPath(lock));

    // Their temporaries in a shared folder stay; ours that no run holds go.
    for (const char* name : {"~kvv77-1.txt", "~kvr77-1.tmp", "tempKVR-77-1.tmp", "~kvr1-1.tmp"})
        drives.writeFile(std::string("C:\\W\\") + name, "leur contenu");
    for (const char* name : {"~kvv77-1.txt", "~kvr77-1.tmp", "tempKVR-77-1.tmp"})
        ASSERT_EQ(
            chown(drives.hostPath(std::string("C:\\W\\") + name).c_str(), OtherUser, OtherUser), 0);
    EXPECT_EQ(RemoveStaleTemporaries("C:\\W\\"), 1);
    EXPECT_EQ(namesIn("C:\\W"), (std::vector<std::string>{"a.kvr", "tempKVR-77-1.tmp",
                                                          "~kvr77-1.tmp", "~kvv77-1.txt"}));

    // Their link to one of our archives is not followed; a replaced file of
    // theirs stays theirs.
    drives.makeFolder("C:\\Partage");
    const std::string link = drives.hostPath("C:\\Partage\\b.kvr");
    fs::create_symlink(drives.hostPath("C:\\W\\a.kvr"), link);
    ASSERT_EQ(lchown(link.c_str(), OtherUser, OtherUser), 0);
    EXPECT_TRUE(WriterLock("C:\\Partage\\b.kvr").refused());
    ASSERT_EQ(chown(drives.hostPath("C:\\W\\a.kvr").c_str(), OtherUser, OtherUser + 1), 0);
    ASSERT_TRUE(ReplaceFileContents("C:\\W\\a.kvr", "nouvelle archive"));
    struct stat st {};
    ASSERT_EQ(stat(drives.hostPath("C:\\W\\a.kvr").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, OtherUser);
    EXPECT_EQ(st.st_gid, OtherUser + 1);
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
