// Runs the built kvr program over archives made here with the format module
// and the gzip stream, and checks its output and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "platform/Platform.h"
#include "support/FaultPlatform.h"
#include "support/Members.h"

namespace fs = std::filesystem;
using namespace kv::format;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quote(const std::string& text) {
    return "'" + text + "'";
}

class KvrTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("KORVELT_BIN");
        ASSERT_NE(bin, nullptr) << "KORVELT_BIN names the program folder";
        kvr_ = fs::path(bin) / "kvr";
        ASSERT_TRUE(fs::exists(kvr_)) << kvr_;
        root_ = drives_.add('K');
        fs::create_directories(root_ / "Docs");
    }

    // kvr with K: mapped to the test folder, from the test folder.
    Result kvr(const std::string& arguments) const {
        const std::string command =
            "cd " + quote(root_.string()) + " && KORVELT_DRIVES=" + quote("K=" + root_.string()) +
            " KORVELT_HOME= " + quote(kvr_.string()) + " " + arguments + " >" +
            quote((root_ / "out.txt").string()) + " 2>" + quote((root_ / "err.txt").string());
        Result r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(root_ / "out.txt");
        r.err = slurp(root_ / "err.txt");
        return r;
    }

    void putFile(const std::string& name, const std::string& content) const {
        std::ofstream(root_ / name, std::ios::binary) << content;
    }

    struct Entry {
        std::string name;
        std::string content;
        int32_t date;
    };
    struct Built {
        std::string bytes;                // the archive file
        std::vector<int64_t> offsets;     // entry offsets
        std::vector<int32_t> compressed;  // CompressedSize of each entry
    };

    // Writes each entry's file, then header, records and the members of the contents.
    Built buildArchive(const std::string& name, const std::vector<Entry>& entries) const {
        Built built;
        auto archive = kv::platform().open("K:\\" + name, kv::OpenMode::Create);
        EXPECT_TRUE(archive);
        EXPECT_TRUE(writeHeader(*archive, Header{0, "Sauvegarde"}));
        for (const auto& e : entries) {
            putFile("Docs/" + e.name, e.content);
            const std::string payload = kv::test::ourMember(e.content);
            EntryRecord r;
            r.fileName = e.name;
            r.folder = "K:\\Docs\\";
            r.fileDate = e.date;
            r.typeName = "Document texte";
            r.fileSize = int32_t(e.content.size());
            r.compressedSize = int32_t(payload.size());
            built.offsets.push_back(archive->position());
            built.compressed.push_back(r.compressedSize);
            EXPECT_TRUE(writeRecord(*archive, r));
            EXPECT_TRUE(archive->write(payload.data(), int64_t(payload.size())));
        }
        EXPECT_TRUE(archive->close());
        built.bytes = slurp(root_ / name);
        return built;
    }

    void putArchive(const std::string& name, const std::string& bytes) const {
        putFile(name, bytes);
    }

    static std::vector<Entry> threeEntries() {
        // 0x5A8C6B3C is 12/04/2025 13:25:56; 0 is not a valid date.
        return {{"lettre.txt", std::string(5000, 'l'), 0x5A8C6B3C},
                {"\xC3\x89t\xC3\xA9 \xCE\xA9.txt", "bonjour\r\n", 0},
                {"vide.txt", "", 0x5A8C6B3C}};
    }

    fs::path kvr_;
    kv::test::TempDrives drives_;  // K: over the test's own folder
    fs::path root_;
};

}  // namespace

TEST_F(KvrTest, ListPrintsOneLinePerEntryInFileOrder) {
    const Built built = buildArchive("a.kvr", threeEntries());
    const std::string expected = "lettre.txt;K:\\Docs\\;5000;" +
                                 std::to_string(built.compressed[0]) +
                                 ";12/04/2025 13:25;Document texte;102\n"
                                 "\xC3\x89t\xC3\xA9 \xCE\xA9.txt;K:\\Docs\\;9;" +
                                 std::to_string(built.compressed[1]) + ";;Document texte;" +
                                 std::to_string(built.offsets[1]) +
                                 "\n"
                                 "vide.txt;K:\\Docs\\;0;20;12/04/2025 13:25;Document texte;" +
                                 std::to_string(built.offsets[2]) + "\n";
    // A Windows path, an absolute host path and a relative host path name the same file.
    for (const std::string& argument :
         {std::string("'K:\\a.kvr'"), quote((root_ / "a.kvr").string()), std::string("a.kvr"),
          std::string("Docs/../a.kvr")}) {
        SCOPED_TRACE(argument);
        const Result r = kvr("list " + argument);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(KvrTest, TestPassesASoundArchive) {
    buildArchive("a.kvr", threeEntries());
    const Result r = kvr("test a.kvr");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "3 entrée(s), 3 intacte(s), 0 endommagée(s)\n");

    putArchive(
        "empty.kvr",
        std::string(reinterpret_cast<const char*>(encodeHeader(Header{}).data()), HeaderSize));
    const Result empty = kvr("test empty.kvr");
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "0 entrée(s), 0 intacte(s), 0 endommagée(s)\n");
    const Result listed = kvr("list empty.kvr");
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "");
}

struct DamageCase {
    const char* name;
    // Damages the archive of threeEntries(); gets the entry offsets and payload sizes.
    std::function<void(std::string&, const std::vector<int64_t>&, const std::vector<int32_t>&)>
        damage;
    std::string testOutput;  // kvr test's lines, before the counts
    std::string counts;
    int listStatus;
};

class KvrDamage : public KvrTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(KvrDamage, IsReportedWithoutCrashing) {
    const Built built = buildArchive("a.kvr", threeEntries());
    std::string bytes = built.bytes;
    GetParam().damage(bytes, built.offsets, built.compressed);
    putArchive("a.kvr", bytes);
    const Result test = kvr("test a.kvr");
    EXPECT_EQ(test.status, 1);
    EXPECT_EQ(test.out, GetParam().testOutput + GetParam().counts + "\n");
    const Result list = kvr("list a.kvr");
    EXPECT_EQ(list.status, GetParam().listStatus) << list.err;
}

namespace {

const std::string Entry2 = "K:\\Docs\\\xC3\x89t\xC3\xA9 \xCE\xA9.txt";

void changeLastPayloadByte(std::string& a, const std::vector<int64_t>& o,
                           const std::vector<int32_t>& c) {
    a[size_t(o[1] + RecordSize + c[1] - 1)] ^= 0x01;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Kvr, KvrDamage,
    ::testing::Values(
        DamageCase{"LengthInTrailer", changeLastPayloadByte, Entry2 + " : longueur incorrecte\n",
                   "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 0},
        DamageCase{"Crc",
                   [](std::string& a, const auto& o, const auto& c) {
                       a[size_t(o[0] + RecordSize + c[0] - 8)] ^= 1;
                   },
                   "K:\\Docs\\lettre.txt : CRC-32 incorrect\n",
                   "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 0},
        DamageCase{"DeflateData",
                   [](std::string& a, const auto& o, const auto&) {
                       a[size_t(o[0] + RecordSize + 10)] |= 0x06;
                   },
                   "K:\\Docs\\lettre.txt : données compressées endommagées\n",
                   "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 0},
        DamageCase{
            "NotAMember",
            [](std::string& a, const auto& o, const auto&) { a[size_t(o[2] + RecordSize)] = 'X'; },
            "K:\\Docs\\vide.txt : le contenu n'est pas un membre gzip\n",
            "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 0},
        DamageCase{
            "RecordSizeDisagrees",
            [](std::string& a, const auto& o, const auto&) { a[size_t(o[0] + FileSizeAt)] ^= 1; },
            "K:\\Docs\\lettre.txt : taille différente de celle de l'entrée\n",
            "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 0},
        DamageCase{"LastPayloadCutShort",
                   [](std::string& a, const auto&, const auto&) { a.resize(a.size() - 5); },
                   "K:\\Docs\\vide.txt : contenu coupé par la fin de l'archive\n",
                   "3 entrée(s), 2 intacte(s), 1 endommagée(s)", 1},
        DamageCase{"RecordCutShort",
                   [](std::string& a, const auto& o, const auto&) { a.resize(size_t(o[2] + 200)); },
                   "Archive tronquée : la dernière entrée est incomplète\n",
                   "2 entrée(s), 2 intacte(s), 0 endommagée(s)", 1},
        DamageCase{
            "NegativeSize",
            [](std::string& a, const auto& o, const auto&) { a[size_t(o[1] + 415)] = char(0x80); },
            Entry2 + " : taille compressée négative\n",
            "2 entrée(s), 1 intacte(s), 1 endommagée(s)", 1},
        DamageCase{"HeaderCutShort", [](std::string& a, const auto&, const auto&) { a.resize(60); },
                   "Archive tronquée : en-tête incomplet\n",
                   "0 entrée(s), 0 intacte(s), 0 endommagée(s)", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KvrTest, RefusedFilesAndBadArguments) {
    putFile("other.kvr", "[File Korvelt V2] and more bytes");
    for (const char* command : {"list", "test"}) {
        SCOPED_TRACE(command);
        const Result incompatible = kvr(std::string(command) + " other.kvr");
        EXPECT_EQ(incompatible.status, 1);
        EXPECT_EQ(incompatible.err, "fichier non compatible avec cette version du programme\n");
        EXPECT_EQ(incompatible.out, "");

        const Result missing = kvr(std::string(command) + " absent.kvr");
        EXPECT_EQ(missing.status, 1);
        EXPECT_EQ(missing.err, "Le fichier < absent.kvr > n'existe pas.\n");

        const Result outside = kvr(std::string(command) + " /proc/version");
        EXPECT_EQ(outside.status, 1);
        EXPECT_NE(outside.err.find("n'est sur aucun lecteur"), std::string::npos) << outside.err;

        EXPECT_EQ(kvr(std::string(command)).status, 2);
    }
    const Result unknown = kvr("frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.rfind("Commande inconnue : frobnicate\nUsage : kvr", 0), 0u)
        << unknown.err;
}
