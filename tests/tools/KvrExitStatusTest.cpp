// kvr's exit status tells the truth: 0 only when nothing was left out,
// skipped or found damaged, and the last line counts what happened. The
// table of statuses in docs/kvr.md is checked against what the program does.

#include <regex>
#include <set>

#include "platform/WriterLock.h"
#include "tests/tools/KvrFixture.h"

namespace kv::test {
namespace {

using Entry = KvrFixture::Entry;

class KvrExitStatus : public KvrFixture {
  protected:
    // Three sound entries; the offsets of their records.
    std::vector<int64_t> threeEntries(const std::string& relative) const {
        return writeArchive(relative,
                            {Entry("un.txt", std::string(3000, '1')), Entry("deux.txt", "deuxième"),
                             Entry("trois.txt", "troisième")});
    }
};

struct Case {
    const char* name;
    // Writes K:\a.kvr, damaged or odd as the case wants.
    void (*make)(const KvrExitStatus& t, const std::vector<int64_t>& offsets);
    const char* command;  // kvr arguments
    int status;
    std::string lastOut;  // the last line on standard output ("" when not checked)
    std::string errPart;  // a part of standard error ("" when not checked)
};

class Honest : public KvrExitStatus, public testing::WithParamInterface<Case> {
  public:
    void cut(std::size_t size) const {
        std::string bytes = read("a.kvr");
        bytes.resize(size);
        put("a.kvr", bytes);
    }
    void setInt(std::size_t at, int32_t value) const {
        std::string bytes = read("a.kvr");
        for (int i = 0; i < 4; ++i) bytes[at + i] = char(uint32_t(value) >> (8 * i));
        put("a.kvr", bytes);
    }
};

TEST_P(Honest, StatusAndLastLineAreTrue) {
    const std::vector<int64_t> offsets = threeEntries("a.kvr");
    GetParam().make(*this, offsets);
    const Outcome r = kvr(GetParam().command);
    EXPECT_EQ(r.status, GetParam().status) << r.out << r.err;
    if (!GetParam().lastOut.empty()) {
        std::string out = r.out;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        EXPECT_EQ(out.substr(out.rfind('\n') + 1), GetParam().lastOut) << r.out;
    }
    if (!GetParam().errPart.empty()) {
        EXPECT_NE(r.err.find(GetParam().errPart), std::string::npos) << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kvr, Honest,
    testing::Values(
        Case{"SoundExtract", [](const KvrExitStatus&, const auto&) {},
             "extract 'K:\\a.kvr' --to 'K:\\Out'", 0, "3 fichier(s) restauré(s), 0 en erreur", ""},
        Case{"RecordCutShortDuringExtract",
             [](const KvrExitStatus& t, const auto& o) {
                 static_cast<const Honest&>(t).cut(std::size_t(o[2] + 200));
             },
             "extract 'K:\\a.kvr' --to 'K:\\Out'", 1, "2 fichier(s) restauré(s), 1 en erreur",
             "incomplète"},
        Case{"HeaderCutShortDuringExtract",
             [](const KvrExitStatus& t, const auto&) { static_cast<const Honest&>(t).cut(60); },
             "extract 'K:\\a.kvr' --to 'K:\\Out'", 1, "0 fichier(s) restauré(s), 1 en erreur",
             "en-tête incomplet"},
        Case{"NegativeSizeHidesTheEntriesAfterIt",
             [](const KvrExitStatus& t, const auto& o) {
                 static_cast<const Honest&>(t).setInt(std::size_t(o[1] + format::CompressedSizeAt),
                                                      -1);
             },
             "extract 'K:\\a.kvr' --to 'K:\\Out'", 1, "1 fichier(s) restauré(s), 1 en erreur",
             "taille compressée négative"},
        Case{"EmptyPayloadIsDamaged",
             [](const KvrExitStatus& t, const auto&) {
                 t.writeArchive("a.kvr", {Entry("vide.txt", "").withPayload("")});
             },
             "test 'K:\\a.kvr'", 1, "1 entrée(s), 0 intacte(s), 1 endommagée(s)", ""},
        Case{"InflatingPastFileSizeIsDamaged",
             [](const KvrExitStatus& t, const auto&) {
                 t.writeArchive("a.kvr",
                                {Entry("bombe.txt", std::string(20 << 20, '\0')).withFileSize(10)});
             },
             "extract 'K:\\a.kvr' --to 'K:\\Out'", 1, "0 fichier(s) restauré(s), 1 en erreur",
             "bombe.txt"},
        Case{"RefusedPathSaysWhy",
             [](const KvrExitStatus& t, const auto&) {
                 t.writeArchive("a.kvr", {Entry("..", "x"), Entry("y.txt", "y").in("K:\\..\\")});
             },
             "extract 'K:\\a.kvr' --to 'K:\\Out' --tree", 1,
             "0 fichier(s) restauré(s), 2 en erreur", "chemin refusé"},
        Case{"RepairOfASoundArchiveWritesNothing", [](const KvrExitStatus&, const auto&) {},
             "repair 'K:\\a.kvr'", 0,
             "3 entrée(s) intacte(s) : l'archive n'a pas besoin d'être réparée", ""},
        Case{"RepairThatLosesAnEntry",
             [](const KvrExitStatus& t, const auto& o) {
                 static_cast<const Honest&>(t).cut(std::size_t(o[2] + 200));
             },
             "repair 'K:\\a.kvr'", 1,
             "Archive réparée : 2 entrée(s) conservée(s), 0 corrigée(s), 1 perte(s), "
             "l'original est gardé sous < K:\\a.kvr.bak >",
             ""},
        Case{"RepairThatOnlyCorrectsASize",
             [](const KvrExitStatus& t, const auto& o) {
                 static_cast<const Honest&>(t).setInt(std::size_t(o[1]) + format::CompressedSizeAt,
                                                      -1);
             },
             "repair 'K:\\a.kvr'", 0,
             "Archive réparée : 3 entrée(s) conservée(s), 1 corrigée(s), 0 perte(s), "
             "l'original est gardé sous < K:\\a.kvr.bak >",
             ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KvrExitStatus, RepairNamesWhatIsLostAndKeepsTheOriginal) {
    const std::vector<int64_t> offsets = threeEntries("a.kvr");
    std::string bytes = read("a.kvr");
    bytes[std::size_t(offsets[1] - 6)] ^= 0x55;  // the CRC-32 in the trailer of un.txt
    put("a.kvr", bytes);
    {
        // Another run writing the archive: nothing is done.
        const WriterLock other("K:\\a.kvr");
        const Outcome busy = kvr("repair 'K:\\a.kvr'");
        EXPECT_EQ(busy.status, 3) << busy.err;
        EXPECT_NE(busy.err.find("en cours d'écriture"), std::string::npos) << busy.err;
        EXPECT_FALSE(exists("a.kvr.bak"));
    }
    const Outcome r = kvr("repair 'K:\\a.kvr'");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Perdu : < K:\\Docs\\un.txt > : CRC-32 incorrect");
    EXPECT_TRUE(read("a.kvr.bak") == bytes);
    EXPECT_EQ(listed("K:\\a.kvr"), (std::vector<std::string>{"deux.txt", "trois.txt"}));
    EXPECT_EQ(kvr("test 'K:\\a.kvr'").status, 0);
    EXPECT_EQ(kvr("repair").status, 2);
}

TEST_F(KvrExitStatus, InflatingPastFileSizeLeavesNoFile) {
    writeArchive("a.kvr", {Entry("bombe.txt", std::string(20 << 20, '\0')).withFileSize(10)});
    EXPECT_EQ(kvr("extract 'K:\\a.kvr' --to 'K:\\Out'").status, 1);
    EXPECT_FALSE(exists("Out/bombe.txt"));
}

TEST_F(KvrExitStatus, TreeRestoreOfAServerFolderKeepsTheServerName) {
    writeArchive("a.kvr", {Entry("f.txt", "sur le serveur").in("\\\\serveur\\partage\\docs\\"),
                           Entry("g.txt", "local").in("D:\\Travail\\")});
    const Outcome r = kvr("extract 'K:\\a.kvr' --to 'K:\\Out' --tree");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("Out/serveur/partage/docs/f.txt"), "sur le serveur");
    EXPECT_EQ(read("Out/Travail/g.txt"), "local");
}

TEST_F(KvrExitStatus, StubCountsACutArchiveAsAFailure) {
    const std::vector<int64_t> offsets = threeEntries("a.kvr");
    std::string bytes = read("a.kvr");
    bytes.resize(std::size_t(offsets[2] + 200));
    put("a.kvr", bytes);
    ASSERT_EQ(kvr("sfx 'K:\\a.kvr' 'K:\\a.exe'").status, 0);
    for (const char* arguments : {"--to 'K:\\Out'", "--test", "--list"}) {
        SCOPED_TRACE(arguments);
        const Outcome r = run((root_ / "a.exe").string(), arguments, "Run");
        EXPECT_EQ(r.status, 1) << r.out << r.err;
    }
    EXPECT_EQ(read("Out/deux.txt"), "deuxième");
}

// The statuses docs/kvr.md lists, each with one command that gives it.
TEST_F(KvrExitStatus, EveryStatusOfTheDocumentedTableIsWhatKvrAnswers) {
    std::ifstream doc(std::string(KORVELT_DOCS) + "/kvr.md");
    ASSERT_TRUE(doc) << KORVELT_DOCS;
    std::set<int> documented;
    const std::regex row(R"(^\|\s*(\d+)\s*\|)");
    for (std::string line; std::getline(doc, line);) {
        std::smatch m;
        if (std::regex_search(line, m, row)) documented.insert(std::stoi(m[1]));
    }
    EXPECT_EQ(documented, (std::set<int>{0, 1, 2, 3}));

    threeEntries("a.kvr");
    EXPECT_EQ(kvr("test 'K:\\a.kvr'").status, 0);
    std::string damaged = read("a.kvr");
    damaged[damaged.size() - 3] ^= 0x40;  // the length in the last trailer
    put("b.kvr", damaged);
    EXPECT_EQ(kvr("test 'K:\\b.kvr'").status, 1);
    EXPECT_EQ(kvr("test").status, 2);
    EXPECT_EQ(kvr("frobnicate").status, 2);
    // 3 (the archive is being written by another run) is shown in KvrSafetyTest.
}

}  // namespace
}  // namespace kv::test
