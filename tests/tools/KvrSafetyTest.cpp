// Nothing lost, nothing reported wrongly, through the built programs: runs at
// the same time, names that cannot come back as they were, damaged archives,
// the self-extractor written over its own archive, the temporaries of a run
// that was killed, archives named through links, their permissions, and the
// flushes that make a replaced archive survive a crash.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <random>

#include "engine/ArchiveRun.h"
#include "engine/CatalogReader.h"
#include "support/RecordingUi.h"
#include "tests/tools/KvrFixture.h"

namespace kv::test {
namespace {

class KvrSafety : public KvrFixture {
  protected:
    // count files of varied sizes in root/folder, and a script naming the folder.
    void makeFiles(const std::string& folder, int count, unsigned seed) const {
        std::mt19937 random(seed);
        for (int i = 0; i < count; ++i) {
            std::string content(2000 + random() % 12000, '\0');
            for (char& c : content) c = "abcdefgh ijkl\n"[random() % 14];
            put(folder + "/f" + std::to_string(i) + ".txt", content);
        }
        put(folder + ".kvl", "K:\\" + folder + "\\*.*\r\n");
    }

    // Every regular file below a folder of root, by relative path.
    std::map<std::string, std::string> treeOf(const std::string& relative) const {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(root_ / relative))
            if (e.is_regular_file())
                files[fs::relative(e.path(), root_ / relative).string()] = slurpHost(e.path());
        return files;
    }
};

TEST_F(KvrSafety, TwoUpdatesAtOnceOfTwoArchivesShareOneTemporaryFolder) {
    makeFiles("Un", 300, 1);
    makeFiles("Deux", 300, 2);
    const std::string kvrPath = quote((bin_ / "kvr").string());
    const std::string command =
        "cd " + quote(root_.string()) + " && export " + environment() + " && { " + kvrPath +
        " update 'K:\\un.kvr' --script 'K:\\Un.kvl' 2>e1 & p1=$!; " + kvrPath +
        " update 'K:\\deux.kvr' --script 'K:\\Deux.kvl' 2>e2 & p2=$!; "
        "wait $p1; echo $? >s1; wait $p2; echo $? >s2; }";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read("s1"), "0\n") << read("e1");
    EXPECT_EQ(read("s2"), "0\n") << read("e2");

    for (const char* name : {"un", "deux"}) {
        SCOPED_TRACE(name);
        const std::string archive = std::string("K:\\") + name + ".kvr";
        const Outcome tested = kvr("test " + quote(archive));
        EXPECT_EQ(tested.status, 0) << tested.out;
        EXPECT_EQ(tested.out, "300 entrée(s), 300 intacte(s), 0 endommagée(s)\n");
        const std::string folder = name == std::string("un") ? "Un" : "Deux";
        const Outcome extracted =
            kvr("extract " + quote(archive) + " --to 'K:\\Sortie" + folder + "' --tree");
        EXPECT_EQ(extracted.status, 0) << extracted.err;
        EXPECT_EQ(treeOf("Sortie" + folder + "/" + folder), treeOf(folder));
    }
    EXPECT_TRUE(namesIn("Temp").empty());
}

TEST_F(KvrSafety, SecondWriterOfTheSameArchiveIsRefusedAndChangesNothing) {
    put("Docs/a.txt", "alpha");
    put("Docs/b.txt", "beta");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);
    put("Docs/autre.txt", "only the second writer lists it");
    put("autre.kvl", "K:\\Docs\\autre.txt\r\n");

    // The first writer: this process, over the catalog of a.txt and b.txt.
    OpenArchive archive;
    archive.path = "K:\\a.kvr";
    RunOptions options;
    options.workFolder = "K:\\Temp\\";
    RecordingUi ui;
    ASSERT_EQ(LoadArchive(archive, ui).outcome, LoadOutcome::Loaded);
    put("Docs/b.txt", "beta, changé par le premier");
    std::optional<Outcome> second;
    std::string duringSecond, beforeSecond;
    ui.onPump = [&] {
        if (second) return;
        beforeSecond = read("a.kvr");
        second = kvr("update 'K:\\a.kvr' --script 'K:\\autre.kvl'");
        duringSecond = read("a.kvr");
    };

    const ArchiveResult first = ArchiveFiles(archive, options, Environment(), ui);

    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 3) << second->err;
    EXPECT_NE(second->err.find("K:\\a.kvr"), std::string::npos) << second->err;
    EXPECT_NE(second->err.find("en cours d'écriture"), std::string::npos) << second->err;
    EXPECT_TRUE(duringSecond == beforeSecond) << "the second writer changed the archive";
    EXPECT_TRUE(first.clean());
    EXPECT_EQ(listed("K:\\a.kvr"), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(kvr("extract 'K:\\a.kvr' --to 'K:\\Vu'").status, 0);
    EXPECT_EQ(read("Vu/b.txt"), "beta, changé par le premier");
    EXPECT_TRUE(namesIn("Temp").empty());
    EXPECT_EQ(namesIn(""),
              (std::vector<std::string>{"Docs", "Temp", "Vu", "a.kvr", "autre.kvl", "liste.kvl"}));
}

TEST_F(KvrSafety, TwoUpdatesOfOneArchiveAtOnceLoseNoEntry) {
    put("Docs/base.txt", "base");
    put("base.kvl", "K:\\Docs\\base.txt\r\n");
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\base.kvl'").status, 0);
    // The long one names one file and many that are gone: its walk of the
    // script outlasts the whole of the short one.
    put("Docs/long.txt", "long");
    std::string lines = "K:\\Docs\\long.txt\r\n";
    for (int i = 0; i < 20000; ++i) lines += "K:\\Docs\\parti-" + std::to_string(i) + ".txt\r\n";
    put("long.kvl", lines);
    put("Docs/court.txt", "court");
    put("court.kvl", "K:\\Docs\\court.txt\r\n");

    // The long one starts; once it has read the archive, the short one runs.
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, (root_ / "a.kvr").c_str(), IN_CLOSE_NOWRITE), 0);
    const std::string command = "cd " + quote(root_.string()) + " && " + environment() + " " +
                                quote((bin_ / "kvr").string()) +
                                " update 'K:\\a.kvr' --script 'K:\\long.kvl' 2>" +
                                quote((root_ / "long.err").string());
    const pid_t longRun = ::fork();
    ASSERT_GE(longRun, 0);
    if (longRun == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    pollfd archiveRead{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&archiveRead, 1, 20000), 1) << "the long update never read the archive";
    ::close(watch);
    const Outcome shortRun = kvr("update 'K:\\a.kvr' --script 'K:\\court.kvl'");
    int raw = 0;
    ASSERT_EQ(::waitpid(longRun, &raw, 0), longRun);
    const int longStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;

    // Each either stored its file or was refused with 3, and nothing it
    // stored is lost.
    std::vector<std::string> expected{"base.txt"};
    EXPECT_TRUE(longStatus == 0 || longStatus == 3) << read("long.err");
    EXPECT_TRUE(shortRun.status == 0 || shortRun.status == 3) << shortRun.err;
    if (shortRun.status == 0) expected.push_back("court.txt");
    if (longStatus == 0) expected.push_back("long.txt");
    std::vector<std::string> names = listed("K:\\a.kvr");
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected) << "long: " << longStatus << ", short: " << shortRun.status;
    EXPECT_TRUE(namesIn("Temp").empty());
}

TEST_F(KvrSafety, ScriptIsReadAsMeantAndWhatItLeavesOutIsCounted) {
    put("Docs/a.txt", "alpha");
    put("Arbre/x.txt", "x");
    fs::create_directories(root_ / "Arbre/sous");
    fs::create_directory_symlink("..", root_ / "Arbre/sous/haut");
    // Written by an editor in UTF-16 with its mark, a line with blanks after it.
    std::string script = "\xFF\xFE";
    for (char c : std::string("K:\\Docs\\a.txt  \r\nK:\\Arbre\\*.*\r\nDocs\\b.txt\r\n"))
        script += std::string{c, '\0'};
    put("liste.kvl", script);

    const Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");

    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.lastErrLine(), counts(2, 0, 2));
    EXPECT_NE(r.err.find("K:\\Arbre\\sous\\haut\\ > n'est pas archivé : c'est un lien"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("< Docs\\b.txt > n'est pas archivé"), std::string::npos) << r.err;
    EXPECT_EQ(listed("K:\\a.kvr"), (std::vector<std::string>{"a.txt", "x.txt"}));
}

TEST_F(KvrSafety, TemporariesOfARunThatDiedAreRemovedThoseInUseAreKept) {
    put("Docs/a.txt", "alpha");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    for (const char* stale : {"Temp/tempKVR.tmp", "Temp/tempKVR-999999-1.tmp",
                              "Temp/~kvr999999-2.tmp", "Temp/~kvr3.tmp"})
        put(stale, std::string(5000, 'x'));
    put("Temp/~kvr-vivant.tmp", "held by a run that is alive");
    put("Temp/autre.tmp", "not ours");
    // A live owner holds its temporary with a lock until it ends.
    const int held = ::open((root_ / "Temp/~kvr-vivant.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_SH), 0);

    const Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");

    ::close(held);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn("Temp"), (std::vector<std::string>{"autre.tmp", "~kvr-vivant.tmp"}));
}

// ----- Names that could not come back as they were -----

TEST_F(KvrSafety, NameThatIsNotUtf8IsStoredOnceAndRestoredUnderItsOwnBytes) {
    const std::string name = "caf\xE9 cr\xE8me.txt";  // Latin-1 bytes, not UTF-8
    put("Docs/" + name, "contenu");
    put("Docs/b.txt", "beta");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(listed("K:\\a.kvr").size(), 2u);
    }
    ASSERT_EQ(kvr("extract 'K:\\a.kvr' --to 'K:\\Sortie' --tree").status, 0);
    EXPECT_EQ(namesIn("Sortie/Docs"), (std::vector<std::string>{"b.txt", name}));
    EXPECT_EQ(read("Sortie/Docs/" + name), "contenu");
}

struct OddName {
    const char* name;
    std::string path;    // below root
    std::string reason;  // in the message that names the file
};

class LeftOutName : public KvrSafety, public testing::WithParamInterface<OddName> {};

TEST_P(LeftOutName, IsSaidCountedAndNeverStored) {
    put(GetParam().path, "contenu");
    put("Docs/b.txt", "beta");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(GetParam().reason), std::string::npos) << r.err;
        EXPECT_EQ(r.lastErrLine(), counts(1, 0, 1));
        EXPECT_EQ(listed("K:\\a.kvr"), std::vector<std::string>{"b.txt"});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LeftOutName,
    testing::Values(OddName{"Colon", "Docs/a:b.txt", "K:\\Docs\\a:b.txt > n'est pas archivé"},
                    OddName{"FolderOver250Bytes",
                            "Docs/" + std::string(200, 'd') + "/" + std::string(60, 'e') + "/f.txt",
                            "n'est pas archivé : son dossier dépasse 250 octets"},
                    OddName{"Backslash", "Docs/a\\b.txt", "K:\\Docs\\a\\b.txt > n'est pas archivé"},
                    OddName{"NameOver100Characters", "Docs/" + std::string(120, 'n') + ".txt",
                            "Nom trop long, fichier ignoré"}),
    [](const auto& info) { return std::string(info.param.name); });

// ----- Damaged archives are never rewritten without what they hold -----

struct Damage {
    const char* name;
    int32_t compressedSize;  // of the middle entry
};

class DamagedRecord : public KvrSafety, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedRecord, UpdateRefusesAndLosesNothing) {
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    writeArchive("a.kvr",
                 {Entry("un.txt", "premier"),
                  Entry("deux.txt", "milieu").withCompressedSize(GetParam().compressedSize),
                  Entry("trois.txt", "dernier, intact")});
    const std::string before = read("a.kvr");
    put("Docs/nouveau.txt", "neuf");

    const Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");

    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("endommagée"), std::string::npos) << r.err;
    EXPECT_TRUE(read("a.kvr") == before) << "the archive changed";
    EXPECT_TRUE(namesIn("Temp").empty());
}

INSTANTIATE_TEST_SUITE_P(Records, DamagedRecord,
                         testing::Values(Damage{"PastTheEnd", 1 << 30}, Damage{"Negative", -5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KvrSafety, SelfExtractorIsNeverWrittenOverItsOwnArchive) {
    put("Docs/a.txt", "alpha");
    put("liste.kvl", "K:\\Docs\\*.*\r\n");
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);
    const std::string before = read("a.kvr");
    for (const char* output : {"'K:\\a.kvr'", "'K:\\A.KVR'", "a.kvr", "Docs/../a.kvr"}) {
        SCOPED_TRACE(output);
        const Outcome r = kvr(std::string("sfx 'K:\\a.kvr' ") + output);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("l'archive elle-même"), std::string::npos) << r.err;
        EXPECT_TRUE(read("a.kvr") == before) << "the archive changed";
    }
}

// ----- Links, other users, and what reaches the disk -----

TEST_F(KvrSafety, UpdateThroughALinkWritesTheArchiveItLeadsTo) {
    put("Docs/a.txt", "alpha");
    put("Docs/c.txt", "gamma");
    put("un.kvl", "K:\\Docs\\a.txt\r\n");
    put("deux.kvl", "K:\\Docs\\c.txt\r\n");
    fs::create_directories(root_ / "Lien");
    fs::create_directories(root_ / "Vrai");
    ASSERT_EQ(kvr("update 'K:\\Vrai\\b.kvr' --script 'K:\\un.kvl'").status, 0);
    fs::create_symlink(root_ / "Vrai/b.kvr", root_ / "Lien/b.kvr");

    const Outcome r = kvr("update 'K:\\Lien\\b.kvr' --script 'K:\\deux.kvl'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(kvr("comment 'K:\\Lien\\b.kvr' 'par le lien'").status, 0);

    EXPECT_TRUE(fs::is_symlink(root_ / "Lien/b.kvr")) << "the link was replaced by a file";
    EXPECT_EQ(listed("K:\\Vrai\\b.kvr"), (std::vector<std::string>{"a.txt", "c.txt"}));
    EXPECT_EQ(read("Vrai/b.kvr").substr(19, 12), "\x0Bpar le lien");  // the comment field
    EXPECT_EQ(namesIn("Lien"), std::vector<std::string>{"b.kvr"});
    EXPECT_EQ(namesIn("Vrai"), std::vector<std::string>{"b.kvr"});
    EXPECT_TRUE(namesIn("Temp").empty());
}

TEST_F(KvrSafety, UpdateKeepsTheArchivesPermissionsAndANewOneFollowsTheUmask) {
    put("Docs/a.txt", "alpha");
    put("liste.kvl", "K:\\Docs\\a.txt\r\n");
    auto modeOf = [&](const char* relative) {
        struct stat st {};
        EXPECT_EQ(::stat((root_ / relative).c_str(), &st), 0);
        return st.st_mode & 0777;
    };
    const mode_t old = ::umask(027);
    const Outcome made = kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'");
    ::umask(old);
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(modeOf("a.kvr"), 0640u);

    fs::permissions(root_ / "a.kvr", fs::perms(0600));
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);
    EXPECT_EQ(modeOf("a.kvr"), 0600u) << "the update opened the archive to others";

    if (::geteuid() != 0) return;  // the owner can be kept only by root
    ASSERT_EQ(::chown((root_ / "a.kvr").c_str(), 4242, 4243), 0);
    ASSERT_EQ(kvr("update 'K:\\a.kvr' --script 'K:\\liste.kvl'").status, 0);
    struct stat st {};
    ASSERT_EQ(::stat((root_ / "a.kvr").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u) << "root's update handed the archive to root";
    EXPECT_EQ(st.st_gid, 4243u);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// The new archive's data is on the disk before it takes the archive's name,
// and the name is on the disk before the run says it is done.
TEST_F(KvrSafety, TheNewArchiveIsFlushedBeforeItsRenameAndItsFolderAfter) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) GTEST_SKIP() << "no strace";
    put("Docs/a.txt", "alpha");
    put("liste.kvl", "K:\\Docs\\a.txt\r\n");
    const std::string trace = (root_ / "trace.txt").string();
    const Outcome r =
        run("strace",
            "-f -y -o " + quote(trace) + " -e trace=fdatasync,fsync,rename,renameat,renameat2 " +
                quote((bin_ / "kvr").string()) + " update 'K:\\a.kvr' --script 'K:\\liste.kvl'");
    if (r.status != 0 && r.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "strace may not trace here: " << r.err;
    ASSERT_EQ(r.status, 0) << r.err;

    std::vector<std::string> calls;
    std::istringstream lines(slurpHost(trace));
    for (std::string line; std::getline(lines, line);) calls.push_back(line);
    const std::string archive = (root_ / "a.kvr").string();
    const auto renamed = std::find_if(calls.begin(), calls.end(), [&](const std::string& c) {
        return c.find("rename") != std::string::npos &&
               c.find("\"" + archive + "\"") != std::string::npos;
    });
    ASSERT_NE(renamed, calls.end()) << slurpHost(trace);
    const std::size_t from = renamed->find("\"") + 1;
    const std::string copy = renamed->substr(from, renamed->find('"', from) - from);
    EXPECT_NE(std::find_if(calls.begin(), renamed,
                           [&](const std::string& c) {
                               return c.find("fdatasync(") != std::string::npos &&
                                      c.find("<" + copy + ">") != std::string::npos;
                           }),
              renamed)
        << "no flush of " << copy << " before its rename:\n"
        << slurpHost(trace);
    EXPECT_NE(std::find_if(renamed, calls.end(),
                           [&](const std::string& c) {
                               return c.find("fsync(") != std::string::npos &&
                                      c.find("<" + root_.string() + ">") != std::string::npos;
                           }),
              calls.end())
        << "no flush of the archive's folder after the rename:\n"
        << slurpHost(trace);
}

}  // namespace
}  // namespace kv::test
