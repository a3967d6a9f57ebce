// A generated tree through the built programs: kvr update on a new archive,
// kvr extract with and without the tree, kvr test, and a self-extracting
// program built by kvr sfx and started as a program.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/Members.h"
#include "text/Text.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string quote(const std::string& text) {
    return "'" + text + "'";
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Every regular file below root, by path relative to it.
std::map<std::string, std::string> treeOf(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = slurp(entry.path());
    return files;
}

// The programs' tests share one generated tree and its archive (made by the
// first test that needs them); each test writes into folders of its own.
class RoundTrip : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        shared_ = fs::temp_directory_path() / ("kv-roundtrip-" + std::to_string(::getpid()));
        fs::remove_all(shared_);
        fs::create_directories(shared_ / "Temp");
        archived_ = false;
    }
    static void TearDownTestSuite() { removeTree(shared_); }

    void SetUp() override {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr);
        bin_ = bin;
        ASSERT_TRUE(fs::exists(bin_ / "kvr"));
        ASSERT_TRUE(fs::exists(bin_ / "sfx.bin"));
        root_ = shared_;
    }

    static void removeTree(const fs::path& root) {
        std::error_code ignored;
        for (const auto& e : fs::recursive_directory_iterator(root, ignored))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root, ignored);
    }

    // A program with K: on the test folder, P: on the program folder, the
    // temporary folder in K:\Temp, its own folder as its program folder,
    // started from the folder cwd (below root).
    Outcome run(const std::string& program, const std::string& arguments,
                const std::string& cwd = "") const {
        const fs::path dir = root_ / cwd;
        fs::create_directories(dir);
        const std::string command =
            "cd " + quote(dir.string()) +
            " && KORVELT_DRIVES=" + quote("K=" + root_.string() + ";P=" + bin_.string()) +
            " TMPDIR=" + quote((root_ / "Temp").string()) + " KORVELT_HOME= " + quote(program) +
            " " + arguments + " >" + quote((root_ / "out.txt").string()) + " 2>" +
            quote((root_ / "err.txt").string());
        Outcome r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(root_ / "out.txt");
        r.err = slurp(root_ / "err.txt");
        return r;
    }
    Outcome kvr(const std::string& arguments) const {
        return run((bin_ / "kvr").string(), arguments);
    }

    // A few hundred files: empty ones, large ones, read-only and hidden ones,
    // accented names and one outside Windows-1252, nested folders; names repeat
    // across folders. A hidden folder is not walked by the adding rules.
    void makeTree() {
        std::mt19937 random(1234);
        auto bytes = [&random](std::size_t n, bool compressible) {
            std::string s(n, '\0');
            for (std::size_t i = 0; i < n; ++i)
                s[i] =
                    compressible ? "lorem ipsum dolor "[(i + random() % 3) % 18] : char(random());
            return s;
        };
        const fs::path src = root_ / "Src";
        for (int d = 0; d < 6; ++d)
            for (int s = 0; s < 4; ++s) {
                fs::path folder =
                    src / ("dossier" + std::to_string(d)) / ("sous" + std::to_string(s));
                for (int f = 0; f < 11; ++f)
                    spit(folder / ("f" + std::to_string(f) + ".txt"),
                         bytes(random() % 5000, f % 2 == 0));
                spit(folder / "vide.dat", "");
            }
        spit(src / "gros.bin", bytes(3 << 20, false));
        spit(src / "gros.txt", bytes(5 << 20, true));
        spit(src / "café crème.txt", "crème brûlée");
        spit(src / "Été" / "élève ŒUVRE.doc", bytes(777, true));
        spit(src / "Ωmega 日本.txt", "outside the code page");
        spit(src / ".caché.txt", "hidden file");
        spit(src / ".cache" / "not walked.txt", "inside a hidden folder");
        spit(src / "lecture seule.txt", "read only");
        fs::permissions(src / "lecture seule.txt", fs::perms::owner_read | fs::perms::group_read);
        spit(src / "a" / "b" / "c" / "d" / "e" / "profond.txt", "deep");
        spit(root_ / "s.kvl", "K:\\Src\\*.*\r\n");
    }

    void updateNewArchive() {
        if (archived_) return;
        makeTree();
        Outcome r = kvr("update 'K:\\a.kvr' --script 'K:\\s.kvl'");
        ASSERT_EQ(r.status, 0) << r.err;
        archived_ = true;
    }

    std::map<std::string, std::string> expectedTree() {
        auto files = treeOf(root_ / "Src");
        files.erase(".cache/not walked.txt");
        return files;
    }

    fs::path bin_, root_;
    static inline fs::path shared_;
    static inline bool archived_ = false;
};

TEST_F(RoundTrip, UpdateThenExtractWithTheTreeGivesEveryFileBack) {
    updateNewArchive();
    const auto expected = expectedTree();
    ASSERT_GT(expected.size(), 260u);

    Outcome test = kvr("test 'K:\\a.kvr'");
    EXPECT_EQ(test.status, 0) << test.out << test.err;

    Outcome r = kvr("extract 'K:\\a.kvr' --to 'K:\\Out' --tree");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(treeOf(root_ / "Out" / "Src"), expected);
    EXPECT_EQ(treeOf(root_ / "Out").size(), expected.size());
}

TEST_F(RoundTrip, ExtractWithoutTheTreeKeepsTheFirstOfEachNameAndCountsTheOthers) {
    updateNewArchive();
    Outcome list = kvr("list 'K:\\a.kvr'");
    ASSERT_EQ(list.status, 0);
    // The first entry of a name (without regard to case) is written; the
    // later ones are named and counted, never written over it.
    std::map<std::string, std::string> expected;
    std::set<std::string> names;
    int later = 0;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find(';'));
        const std::string rest = line.substr(line.find(';') + 1);
        std::string folder = rest.substr(0, rest.find(';'));
        std::string relative = folder.substr(3);
        for (char& c : relative)
            if (c == '\\') c = '/';
        if (!names.insert(kv::text::foldKey(name)).second) {
            ++later;
            continue;
        }
        expected[name] = slurp(root_ / relative / name);
    }
    ASSERT_GT(later, 0);
    Outcome r = kvr("extract 'K:\\a.kvr' --to 'K:\\Flat'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, std::to_string(expected.size()) + " fichier(s) restauré(s), " +
                         std::to_string(later) + " en erreur\n");
    EXPECT_NE(r.err.find("vient d'être restaurée sous le même nom"), std::string::npos);
    EXPECT_EQ(treeOf(root_ / "Flat"), expected);
}

TEST_F(RoundTrip, ExtractOfChosenPathsOnly) {
    updateNewArchive();
    Outcome r =
        kvr("extract 'K:\\a.kvr' --to 'K:\\One' 'k:\\src\\CAFÉ CRÈME.TXT' "
            "'K:\\Src\\dossier1\\sous2\\f3.txt'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(treeOf(root_ / "One"), (std::map<std::string, std::string>{
                                         {"café crème.txt", "crème brûlée"},
                                         {"f3.txt", slurp(root_ / "Src/dossier1/sous2/f3.txt")}}));
    Outcome missing = kvr("extract 'K:\\a.kvr' --to 'K:\\Two' 'K:\\Src\\absent.txt'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(
        missing.err.find("Le fichier < K:\\Src\\absent.txt > ne se trouve pas dans l'archive"),
        std::string::npos);
}

TEST_F(RoundTrip, SelfExtractorStartedAsAProgramExtractsTheSameBytes) {
    updateNewArchive();
    Outcome build = kvr("sfx 'K:\\a.kvr' 'K:\\sauvegarde.exe'");
    ASSERT_EQ(build.status, 0) << build.err;
    const std::string exe = (root_ / "sauvegarde.exe").string();
    const auto stubSize = fs::file_size(bin_ / "sfx.bin");
    EXPECT_EQ(fs::file_size(exe), stubSize + fs::file_size(root_ / "a.kvr") + 4);

    Outcome kvrOut = kvr("extract 'K:\\a.kvr' --to 'K:\\ViaKvr' --tree");
    ASSERT_EQ(kvrOut.status, 0);
    Outcome sfx = run(exe, "", "Run");
    ASSERT_EQ(sfx.status, 0) << sfx.err;
    EXPECT_EQ(treeOf(root_ / "Run" / "sauvegarde"), treeOf(root_ / "ViaKvr"));

    Outcome listed = run(exe, "--list", "Run");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, kvr("list 'K:\\a.kvr'").out);
    Outcome tested = run(exe, "--test", "Run");
    EXPECT_EQ(tested.status, 0) << tested.out;
    Outcome flat = run(exe, "--to 'K:\\SfxFlat'", "Run");
    EXPECT_EQ(flat.status, 1);  // the names that repeat are counted, as kvr counts them
    Outcome flatKvr = kvr("extract 'K:\\a.kvr' --to 'K:\\KvrFlat'");
    EXPECT_EQ(treeOf(root_ / "SfxFlat"), treeOf(root_ / "KvrFlat"));
}

TEST_F(RoundTrip, SelfExtractorOfAnEmptyArchiveIsTheStubPlus106Bytes) {
    spit(root_ / "vide.kvr", std::string("\x11[File Korvelt V1]", 18) + std::string(84, '\0'));
    Outcome build = kvr("sfx 'K:\\vide.kvr' 'K:\\vide.exe'");
    ASSERT_EQ(build.status, 0) << build.err;
    const std::string out = slurp(root_ / "vide.exe");
    const std::string stub = slurp(bin_ / "sfx.bin");
    ASSERT_EQ(out.size(), stub.size() + 106);
    const uint32_t s = static_cast<uint32_t>(stub.size());
    EXPECT_EQ(out.substr(out.size() - 4),
              std::string({char(s), char(s >> 8), char(s >> 16), char(s >> 24)}));
    EXPECT_TRUE(fs::status(root_ / "vide.exe").permissions() != fs::perms::none &&
                (fs::status(root_ / "vide.exe").permissions() & fs::perms::owner_exec) !=
                    fs::perms::none);

    Outcome started = run((root_ / "vide.exe").string(), "", "Run");
    EXPECT_EQ(started.status, 0) << started.err;
    // The stub alone carries no archive: a clear message and status 1.
    Outcome bare = run((bin_ / "sfx.bin").string(), "--list", "Run");
    EXPECT_EQ(bare.status, 1);
    EXPECT_FALSE(bare.err.empty());
}

// An archive made entry by entry, with the format module and the member codec.
class HandArchive {
  public:
    void add(const std::string& folder, const std::string& name, const std::string& content,
             bool damage = false) {
        std::string payload = kv::test::ourMember(content);
        if (damage) payload[payload.size() - 6] ^= 0x5A;  // the CRC-32 no longer matches
        kv::format::EntryRecord record;
        record.folder = folder;
        record.fileName = name;
        record.fileDate = 0x5A210000;
        record.fileSize = static_cast<int32_t>(content.size());
        record.compressedSize = static_cast<int32_t>(payload.size());
        auto block = kv::format::encodeRecord(record);
        bytes_.append(block.begin(), block.end());
        bytes_ += payload;
    }
    void write(const fs::path& path) const {
        auto header = kv::format::encodeHeader({});
        spit(path, std::string(header.begin(), header.end()) + bytes_);
    }

  private:
    std::string bytes_;
};

// Hand-made archives, each test in a folder of its own.
class HandArchiveTrip : public RoundTrip {
  protected:
    void SetUp() override {
        RoundTrip::SetUp();
        root_ = drives_.add('K');
        fs::create_directories(root_ / "Temp");
    }

    kv::test::TempDrives drives_;  // K: over the test's own folder
};

TEST_F(HandArchiveTrip, TraversalEntriesWriteNothingOutside) {
    HandArchive archive;
    archive.add("K:\\..\\..\\", "evil1.txt", "x");
    archive.add("K:\\Docs\\", "..\\evil2.txt", "x");
    archive.add("K:\\Docs\\", "K:evil3.txt", "x");
    archive.add("K:\\Docs\\", "good.txt", "good");
    archive.write(root_ / "t.kvr");

    Outcome r = kvr("extract 'K:\\t.kvr' --to 'K:\\Jail\\In' --tree");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(slurp(root_ / "Jail/In/Docs/good.txt"), "good");
    Outcome sfxBuild = kvr("sfx 'K:\\t.kvr' 'K:\\t.exe'");
    ASSERT_EQ(sfxBuild.status, 0);
    Outcome sfx = run((root_ / "t.exe").string(), "", "Jail/Run");
    EXPECT_EQ(sfx.status, 1);
    EXPECT_EQ(slurp(root_ / "Jail/Run/t/Docs/good.txt"), "good");

    // Everything written is inside the chosen folders.
    for (const auto& entry : fs::recursive_directory_iterator(root_))
        EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos) << entry.path();
    EXPECT_FALSE(fs::exists(root_.parent_path() / "evil1.txt"));
}

TEST_F(HandArchiveTrip, DamagedPayloadOverAnExistingFileLosesNothing) {
    HandArchive archive;
    archive.add("K:\\Docs\\", "precieux.txt", std::string(20000, 'p'), true);
    archive.write(root_ / "d.kvr");
    spit(root_ / "Docs/precieux.txt", "the only copy");

    // Asked to replace it whatever its date, the restore still keeps it whole.
    Outcome r = kvr("extract 'K:\\d.kvr' --origin --overwrite always");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Impossible de décompresser le fichier < precieux.txt >"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(slurp(root_ / "Docs/precieux.txt"), "the only copy");
    EXPECT_EQ(treeOf(root_ / "Docs").size(), 1u);

    Outcome sfxBuild = kvr("sfx 'K:\\d.kvr' 'K:\\d.exe'");
    ASSERT_EQ(sfxBuild.status, 0);
    Outcome sfx = run((root_ / "d.exe").string(), "--origin --overwrite always", "Run");
    EXPECT_EQ(sfx.status, 1);
    EXPECT_EQ(slurp(root_ / "Docs/precieux.txt"), "the only copy");
    EXPECT_EQ(run((root_ / "d.exe").string(), "--test", "Run").status, 1);
}

}  // namespace
