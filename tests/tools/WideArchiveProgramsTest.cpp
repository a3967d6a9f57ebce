// A V2 archive (64-bit sizes, written when a file of 2 GiB or more is
// stored) through the built programs: every kvr command and the extractor
// stub read it as they read the V1 archive of the same files, and an update
// that holds no large entry writes that V1 archive again.

#include <gtest/gtest.h>

#include <string>

#include "KvrFixture.h"
#include "engine/ArchiveFormat.h"

namespace kv::test {
namespace {

// The same archive with V2 records: each record up to its pad byte, then the
// sizes in 64 bits, the payloads unchanged.
std::string asV2(const std::string& v1) {
    std::string out = v1.substr(0, format::HeaderSize);
    out[16] = '2';
    for (std::size_t at = format::HeaderSize; at < v1.size();) {
        format::RecordBuffer block{};
        std::copy_n(v1.begin() + long(at), format::RecordSize, block.begin());
        const format::RecordBuffer wide =
            format::convertRecord(block, format::Version::V1, format::Version::V2);
        const auto payload =
            std::size_t(format::decodeRecord(block, format::Version::V1).compressedSize);
        out.append(wide.begin(), wide.end());
        out += v1.substr(at + format::RecordSize, payload);
        at += format::RecordSize + payload;
    }
    return out;
}

// The lines of kvr list without their last field, the entry offset.
std::string withoutOffsets(const std::string& listing) {
    std::string out;
    std::size_t at = 0;
    while (at < listing.size()) {
        const std::size_t end = listing.find('\n', at);
        const std::string line = listing.substr(at, end - at);
        out += line.substr(0, line.rfind(';')) + "\n";
        at = end + 1;
    }
    return out;
}

class WideArchivePrograms : public KvrFixture {
  protected:
    void SetUp() override {
        KvrFixture::SetUp();
        put("Docs/lettre.txt", "Bonjour\r\n");
        put("Docs/Sous/données.csv", std::string(50000, ';'));
        put("liste.kvl", "K:\\Docs\\*.*\r\n");
        const Outcome made = kvr("update 'K:\\v1.kvr' --script 'K:\\liste.kvl' --comment 'Grand'");
        ASSERT_EQ(made.status, 0) << made.err;
        // Updated once more, the entries are in the catalog's order, which
        // every later update keeps.
        ASSERT_EQ(kvr("update 'K:\\v1.kvr'").status, 0);
        v1_ = read("v1.kvr");
        put("v2.kvr", asV2(v1_));
    }
    std::string v1_;
};

TEST_F(WideArchivePrograms, KvrReadsV2AsItReadsV1) {
    const Outcome list1 = kvr("list 'K:\\v1.kvr'");
    const Outcome list2 = kvr("list 'K:\\v2.kvr'");
    ASSERT_EQ(list2.status, 0) << list2.err;
    EXPECT_EQ(withoutOffsets(list2.out), withoutOffsets(list1.out));
    EXPECT_NE(list2.out.find(";50000;"), std::string::npos);

    const Outcome tested = kvr("test 'K:\\v2.kvr'");
    EXPECT_EQ(tested.status, 0) << tested.out;
    EXPECT_EQ(tested.out, "2 entrée(s), 2 intacte(s), 0 endommagée(s)\n");

    ASSERT_EQ(kvr("extract 'K:\\v2.kvr' --to 'K:\\Out' --tree").status, 0);
    EXPECT_EQ(read("Out/Docs/Sous/données.csv"), std::string(50000, ';'));
    EXPECT_EQ(read("Out/Docs/lettre.txt"), "Bonjour\r\n");

    ASSERT_EQ(kvr("comment 'K:\\v2.kvr' 'Nouveau'").status, 0);
    EXPECT_EQ(read("v2.kvr").substr(1, 17), "[File Korvelt V2]");
    EXPECT_EQ(kvr("test 'K:\\v2.kvr'").status, 0);
}

TEST_F(WideArchivePrograms, UpdateWithoutALargeEntryWritesTheV1ArchiveAgain) {
    const Outcome updated = kvr("update 'K:\\v2.kvr'");
    ASSERT_EQ(updated.status, 0) << updated.err;
    EXPECT_TRUE(read("v2.kvr") == v1_);
}

TEST_F(WideArchivePrograms, ExtractorStubReadsV2) {
    ASSERT_EQ(kvr("sfx 'K:\\v2.kvr' 'K:\\grand.exe'").status, 0);
    const std::string exe = (root_ / "grand.exe").string();

    const Outcome listed = run(exe, "--list", "Run");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, kvr("list 'K:\\v2.kvr'").out);
    const Outcome tested = run(exe, "--test", "Run");
    EXPECT_EQ(tested.status, 0) << tested.out;
    const Outcome extracted = run(exe, "--to 'K:\\Stub'", "Run");
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(read("Stub/données.csv"), std::string(50000, ';'));
    EXPECT_EQ(read("Stub/lettre.txt"), "Bonjour\r\n");
}

}  // namespace
}  // namespace kv::test
