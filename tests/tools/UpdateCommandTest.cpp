// kvr update and kvr comment through the built program, with K: mapped to a
// fresh folder and the Work folder (the temporary folder) on it as well.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "tests/support/FaultPlatform.h"

namespace fs = std::filesystem;

namespace {

class UpdateCommand : public testing::Test {
  protected:
    struct Run {
        int status = -1;
        std::string err;
        std::string lastLine;  // the last line of standard error
    };
    struct Entry {
        kv::format::EntryRecord record;
        std::string bytes;  // record and payload as stored
    };

    void SetUp() override {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr);
        kvr_ = fs::path(bin) / "kvr";
        root_ = drives_.add('K');
        fs::create_directories(root_ / "Docs");
        fs::create_directories(root_ / "Temp");
        put("liste.kvl", "K:\\Docs\\*.*\r\n");
    }

    Run kvr(const std::string& arguments) const {
        const std::string command =
            "cd '" + root_.string() + "' && TMPDIR='" + (root_ / "Temp").string() +
            "' KORVELT_DRIVES='K=" + root_.string() + "' KORVELT_HOME= '" + kvr_.string() + "' " +
            arguments + " >/dev/null 2>'" + (root_ / "err.txt").string() + "'";
        Run r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.err = read("err.txt");
        fs::remove(root_ / "err.txt");
        std::string trimmed = r.err;
        while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
        r.lastLine = trimmed.substr(trimmed.rfind('\n') + 1);
        return r;
    }

    void put(const std::string& name, const std::string& bytes) const {
        fs::create_directories((root_ / name).parent_path());
        std::ofstream(root_ / name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(root_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::vector<Entry> entries() const {
        const std::string all = read("arch.kvr");
        std::vector<Entry> list;
        for (std::size_t at = kv::format::HeaderSize; at + kv::format::RecordSize <= all.size();) {
            kv::format::RecordBlock block;
            std::copy_n(all.begin() + at, kv::format::RecordSize, block.begin());
            Entry e{kv::format::decodeRecord(block), {}};
            e.bytes = all.substr(at, kv::format::RecordSize + std::size_t(e.record.compressedSize));
            at += e.bytes.size();
            list.push_back(e);
        }
        return list;
    }
    std::string comment() const {
        const std::string all = read("arch.kvr");
        return all.substr(20, static_cast<unsigned char>(all[19]));
    }

    static std::string counts(int stored, int carried, int leftOut) {
        return "Fichiers archivés : " + std::to_string(stored) +
               ", repris de l'archive : " + std::to_string(carried) +
               ", laissés de côté : " + std::to_string(leftOut);
    }

    fs::path kvr_;
    kv::test::TempDrives drives_;  // K: over the test's own folder
    fs::path root_;
};

TEST_F(UpdateCommand, SecondUpdateRecompressesCarriesOverAndStoresTheNewFile) {
    put("Docs/a.txt", "première version");
    put("Docs/b.txt", std::string(30000, 'b'));
    put("Docs/c.txt", "inchangé");
    Run r = kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl --comment 'Départ'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lastLine, counts(3, 0, 0));
    const std::vector<Entry> first = entries();
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].record.typeName, "document texte brut");  // French in any locale

    put("Docs/a.txt", "deuxième version, plus longue");
    fs::remove(root_ / "Docs/b.txt");
    put("Docs/d.txt", "nouveau");
    r = kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lastLine, counts(3, 1, 0));
    std::vector<Entry> second = entries();
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(second[0].record.fileSize, 30);
    EXPECT_EQ(second[1].bytes, first[1].bytes);  // b.txt, gone from the disk
    EXPECT_EQ(second[2].bytes, first[2].bytes);  // c.txt, unchanged
    EXPECT_EQ(second[3].record.fileName, "d.txt");
    EXPECT_EQ(comment(), "D\xE9part");  // stored in Windows-1252

    r = kvr("update K:\\\\arch.kvr --drop-missing");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lastLine, counts(3, 0, 1));
    second = entries();
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(second[1].record.fileName, "c.txt");
    EXPECT_TRUE(fs::is_empty(root_ / "Temp"));
}

// A line typed in another case names the folders that exist: they are what
// is stored, once.
TEST_F(UpdateCommand, ScriptLinesInAnotherCaseStoreTheTrueCase) {
    put("Data/Projets/Makefile", "all:\n");
    put("Data/Projets/src/main.c", "int main(void) { return 0; }\n");
    put("liste.kvl", "K:\\DATA\\PROJETS\\*.*\r\nk:\\data\\projets\\MAKEFILE\r\n");
    const Run r = kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lastLine, counts(2, 0, 0));
    const std::vector<Entry> stored = entries();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].record.fullPath(), "K:\\Data\\Projets\\Makefile");
    EXPECT_EQ(stored[1].record.fullPath(), "K:\\Data\\Projets\\src\\main.c");
}

TEST_F(UpdateCommand, NewArchiveSkipsMissingFilesAndTakesADatedComment) {
    put("Docs/a.txt", "alpha");
    put("liste.kvl", "K:\\Docs\\a.txt\r\nK:\\Docs\\absent.txt\r\n");
    const Run r =
        kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl --comment '0123456789ABsuite' "
            "--date-comment");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.lastLine, counts(1, 0, 0));
    const std::string text = comment();
    ASSERT_EQ(text.size(), 30u);
    EXPECT_EQ(text.front(), '[');
    EXPECT_EQ(text.substr(11), "] 0123456789ABsuite");
}

TEST_F(UpdateCommand, DatedCommentKeepsAStoredCommentThatHasNoDate) {
    put("Docs/a.txt", "alpha");
    ASSERT_EQ(kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl --comment "
                  "'Sauvegarde hebdo été'")
                  .status,
              0);
    ASSERT_EQ(comment(), "Sauvegarde hebdo \xE9t\xE9");

    Run r = kvr("update K:\\\\arch.kvr --date-comment");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string text = comment();
    ASSERT_EQ(text.size(), 33u) << text;
    EXPECT_EQ(text.front(), '[');
    EXPECT_EQ(text.substr(11), "] Sauvegarde hebdo \xE9t\xE9");

    // The next dated run replaces that date and keeps the rest.
    const std::string first = text;
    text[1] = text[1] == '0' ? '1' : '0';
    const std::string bytes = read("arch.kvr");
    put("arch.kvr", bytes.substr(0, 20) + text + bytes.substr(20 + text.size()));
    r = kvr("update K:\\\\arch.kvr --date-comment");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(comment(), first);
}

TEST_F(UpdateCommand, DamagedEntryMakesTheRunFailWithoutRewriting) {
    put("Docs/a.txt", "alpha");
    put("Docs/b.txt", "beta");
    ASSERT_EQ(kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl").status, 0);
    fs::remove(root_ / "Docs/b.txt");
    std::string bytes = read("arch.kvr");
    const std::size_t second = kv::format::HeaderSize + entries()[0].bytes.size();
    bytes[second + kv::format::CompressedSizeAt + 2] = '\x10';  // past the end
    put("arch.kvr", bytes);

    const Run r = kvr("update K:\\\\arch.kvr");

    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("est endommagée : le contenu de l'entrée < K:\\Docs\\b.txt > est "
                         "coupé par la fin de l'archive"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(read("arch.kvr") == bytes);
}

TEST_F(UpdateCommand, RefusesWhatItCannotUse) {
    put("pas-une-archive.kvr", "texte");
    Run r = kvr("update K:\\\\pas-une-archive.kvr");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(kv::format::IncompatibleMessage), std::string::npos);
    EXPECT_EQ(read("pas-une-archive.kvr"), "texte");

    EXPECT_EQ(kvr("update").status, 2);
    EXPECT_EQ(kvr("update K:\\\\arch.kvr --script").status, 2);
    EXPECT_EQ(kvr("update K:\\\\arch.kvr --script K:\\\\absent.kvl").status, 1);
    EXPECT_EQ(kvr("update K:\\\\arch.kvr --threads 0").status, 2);
    EXPECT_EQ(kvr("update K:\\\\arch.kvr --threads deux").status, 2);
    EXPECT_EQ(kvr("update K:\\\\arch.kvr --threads").status, 2);
    EXPECT_FALSE(fs::exists(root_ / "arch.kvr"));
}

TEST_F(UpdateCommand, ArchiveThatCannotBeReplacedCountsNothingWritten) {
    put("Docs/a.txt", "alpha");
    put("Docs/b.txt", "beta");
    ASSERT_EQ(kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl").status, 0);
    const std::string before = read("arch.kvr");
    put("Docs/c.txt", "gamma");
    fs::permissions(root_ / "arch.kvr",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);

    const Run r = kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl");

    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Opération annulée"), std::string::npos) << r.err;
    // Nothing of the run is in the archive, and the last line says so.
    EXPECT_EQ(r.lastLine, counts(0, 0, 3));
    EXPECT_TRUE(read("arch.kvr") == before);
}

TEST_F(UpdateCommand, ThreadsAndRecompressWriteTheSameBytes) {
    put("Docs/a.txt", "alpha");
    put("Docs/vide.txt", "");
    std::string large;
    for (int i = 0; large.size() < 700000; ++i) large += "ligne " + std::to_string(i * 7) + "\n";
    put("Docs/gros.txt", large);
    for (int i = 0; i < 12; ++i)
        put("Docs/Sous/f" + std::to_string(i) + ".txt", large.substr(i * 999, 5000 * i));
    auto update = [&](const std::string& options, const std::string& from) {
        if (from.empty())
            fs::remove(root_ / "arch.kvr");
        else
            put("arch.kvr", from);
        const Run r = kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl " + options);
        EXPECT_EQ(r.status, 0) << options << r.err;
        return std::pair(read("arch.kvr"), r.lastLine);
    };

    const auto one = update("--threads 1", "");
    EXPECT_EQ(update("--threads 2", ""), one);
    EXPECT_EQ(one.second, counts(15, 0, 0));

    put("Docs/a.txt", "alpha, deuxième version");
    fs::remove(root_ / "Docs/Sous/f3.txt");
    const auto updated = update("--threads 1", one.first);
    EXPECT_EQ(update("--threads 2", one.first), updated);
    EXPECT_EQ(update("--recompress", one.first), updated);
    EXPECT_EQ(updated.second, counts(14, 1, 0));
}

TEST_F(UpdateCommand, CommentRewritesTheHeaderOnly) {
    put("Docs/a.txt", "alpha");
    ASSERT_EQ(
        kvr("update K:\\\\arch.kvr --script K:\\\\liste.kvl --comment 'Un commentaire assez long'")
            .status,
        0);
    const std::string before = read("arch.kvr");

    const Run r = kvr("comment K:\\\\arch.kvr 'Court'");

    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("L'en-tête du fichier a été modifiée"), std::string::npos);
    const std::string after = read("arch.kvr");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(comment(), "Court");
    EXPECT_EQ(after.substr(kv::format::HeaderSize), before.substr(kv::format::HeaderSize));

    EXPECT_EQ(kvr("comment K:\\\\absent.kvr 'x'").status, 1);
    EXPECT_EQ(kvr("comment K:\\\\arch.kvr").status, 2);
}

}  // namespace
