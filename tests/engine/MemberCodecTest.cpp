#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/ArchiveFormat.h"
#include "engine/MemberCodec.h"
#include "support/Members.h"
#include "support/MemoryFile.h"

using kv::MemberCodec;
using kv::test::MemoryFile;
using Fault = MemberCodec::MemberFault;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Text with some repetition and some noise, so members are neither trivial nor incompressible.
Bytes sampleData(std::size_t size, unsigned seed = 1) {
    static const char* words[] = {"sauvegarde ", "archive ", "fichier ",
                                  "dossier ",    "\n",       "données "};
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        if (rng() % 8 == 0) {
            out.push_back(uint8_t(rng()));
            continue;
        }
        for (const char* c = words[rng() % 6]; *c && out.size() < size; ++c)
            out.push_back(uint8_t(*c));
    }
    return out;
}

Bytes toBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes compressed(const Bytes& data) {
    return toBytes(kv::test::ourMember(std::string(data.begin(), data.end())));
}

// The member's data, read with a limit (maxLength; -1 for none), into out.
MemberCodec::MemberCheck inflated(const Bytes& member, int64_t maxLength, MemoryFile& out) {
    MemoryFile in(member);
    return MemberCodec::inflate(in, in.size(), &out, maxLength);
}

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    return output;
}

// A folder of its own for the members other programs read or write.
class CodecFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kv-codec-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string host(const std::string& name) const { return (root_ / name).string(); }
    void put(const std::string& name, const Bytes& data) const {
        std::ofstream(host(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    }
    Bytes get(const std::string& name) const {
        std::ifstream in(host(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
};

}  // namespace

TEST_F(CodecFiles, MembersHaveTheFixedHeaderAndTheTrailerAndGzipReadsThem) {
    // Up to 8 MiB a member is deflated whole, past it through the stream.
    for (std::size_t size :
         {std::size_t(1), std::size_t(16384), std::size_t(700001), (std::size_t(8) << 20) + 1}) {
        SCOPED_TRACE(size);
        const Bytes data = sampleData(size);
        MemoryFile in(data);
        MemoryFile out;
        const MemberCodec::Compressed made = MemberCodec::compress(in, out);
        ASSERT_TRUE(made.done());
        const Bytes& member = out.bytes();
        EXPECT_EQ(Bytes(member.begin(), member.begin() + MemberCodec::HeaderSize),
                  (Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0}));
        const uint32_t crc = uint32_t(crc32(0, data.data(), uInt(data.size())));
        EXPECT_EQ(made.crc, crc);
        EXPECT_EQ(made.length, int64_t(size));
        const uint8_t* trailer = member.data() + member.size() - MemberCodec::TrailerSize;
        EXPECT_EQ(kv::format::littleEndian32(trailer), crc);
        EXPECT_EQ(kv::format::littleEndian32(trailer + 4), uint32_t(size));

        put("out.gz", member);
        EXPECT_TRUE(toBytes(run("gzip -dc '" + host("out.gz") + "'")) == data);
        // Our own reader gives the same bytes back, whole and streamed.
        for (int64_t limit : {int64_t(size), int64_t(-1)}) {
            MemoryFile back;
            EXPECT_EQ(inflated(member, limit, back).fault, Fault::None);
            EXPECT_TRUE(back.bytes() == data);
        }
    }
}

TEST(MemberCodec, EmptyInputIsTwentyBytesAndReadsBackEmpty) {
    const Bytes member = compressed({});
    EXPECT_EQ(member,
              (Bytes{0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}));
    for (int64_t limit : {int64_t(0), int64_t(-1)}) {
        MemoryFile out;
        const MemberCodec::MemberCheck check = inflated(member, limit, out);
        EXPECT_EQ(check.fault, Fault::None);
        EXPECT_EQ(check.length, 0);
    }
}

TEST_F(CodecFiles, MembersFromOtherWritersInflate) {
    const Bytes data = sampleData(60000, 5);
    put("data.bin", data);
    // gzip itself (stores the file name), Python's gzip with a name, and a hand-built
    // member with every optional field: extra, name, comment and header CRC.
    ASSERT_EQ(
        std::system(("gzip -c -9 '" + host("data.bin") + "' > '" + host("g.gz") + "'").c_str()), 0);
    const std::string script =
        "import gzip,zlib,struct,sys\n"
        "d=open(sys.argv[1],'rb').read()\n"
        "with open(sys.argv[2],'wb') as f:\n"
        "  with gzip.GzipFile(filename='données.bin',mode='wb',fileobj=f,mtime=1234567) as z: "
        "z.write(d)\n"
        "h=b'\\x1f\\x8b\\x08\\x1e'+struct.pack('<I',99)+b'\\x02\\x03'\n"
        "h+=struct.pack('<H',6)+b'AB\\x02\\x00xy'+b'nom.bin\\x00'+b'un commentaire\\x00'\n"
        "h+=struct.pack('<H',zlib.crc32(h)&0xffff)\n"
        "c=zlib.compressobj(9,zlib.DEFLATED,-15)\n"
        "body=c.compress(d)+c.flush()\n"
        "open(sys.argv[3],'wb').write(h+body+struct.pack('<II',zlib.crc32(d),len(d)))\n";
    std::ofstream(host("make.py")) << script;
    ASSERT_EQ(std::system(("python3 '" + host("make.py") + "' '" + host("data.bin") + "' '" +
                           host("p.gz") + "' '" + host("x.gz") + "'")
                              .c_str()),
              0);
    for (const char* name : {"g.gz", "p.gz", "x.gz"}) {
        SCOPED_TRACE(name);
        MemoryFile out;
        ASSERT_EQ(inflated(get(name), int64_t(data.size()), out).fault, Fault::None);
        EXPECT_TRUE(out.bytes() == data);
    }
    // A wrong header CRC is a bad header.
    Bytes x = get("x.gz");
    x[10 + 2 + 6 + 8 + 15] ^= 1;  // low byte of the header CRC
    MemoryFile out;
    EXPECT_EQ(inflated(x, -1, out).fault, Fault::BadHeader);
}

struct DamageCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    Fault fault;
    bool allData;  // every byte of the data comes out before the fault is found
};

class MemberDamage : public ::testing::TestWithParam<DamageCase> {};

// Each damage gives its fault whether the member is read whole (a limit) or
// streamed (none); what comes out is never more than the data and always
// their first bytes, so a damaged entry still shows what it holds.
TEST_P(MemberDamage, IsFoundAndOnlyTheDataComeOut) {
    const Bytes data = sampleData(100000, 6);
    Bytes member = compressed(data);
    GetParam().damage(member);

    MemoryFile quiet(member);
    EXPECT_EQ(MemberCodec::verify(quiet, quiet.size()).fault, GetParam().fault);
    for (int64_t limit : {int64_t(data.size()), int64_t(-1)}) {
        SCOPED_TRACE(limit);
        MemoryFile out;
        EXPECT_EQ(inflated(member, limit, out).fault, GetParam().fault);
        const Bytes& produced = out.bytes();
        EXPECT_TRUE(produced.size() <= data.size() &&
                    std::equal(produced.begin(), produced.end(), data.begin()));
        EXPECT_EQ(produced.size(), GetParam().allData ? data.size() : produced.size());
        if (GetParam().fault == Fault::NotGzip) {
            EXPECT_TRUE(produced.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MemberDamage,
    ::testing::Values(
        DamageCase{"LastByteChanged", [](Bytes& m) { m.back() ^= 0x40; }, Fault::LengthMismatch,
                   true},
        DamageCase{"CrcChanged", [](Bytes& m) { m[m.size() - 8] ^= 1; }, Fault::CrcMismatch, true},
        DamageCase{"CutInTheData", [](Bytes& m) { m.erase(m.begin() + m.size() / 2, m.end()); },
                   Fault::Truncated, false},
        DamageCase{"CutInTheTrailer", [](Bytes& m) { m.erase(m.end() - 3, m.end()); },
                   Fault::Truncated, true},
        DamageCase{"ReservedFlag", [](Bytes& m) { m[3] = 0x20; }, Fault::BadHeader, false},
        DamageCase{"OtherMethod", [](Bytes& m) { m[2] = 7; }, Fault::BadHeader, false},
        DamageCase{"HeaderCut", [](Bytes& m) { m.erase(m.begin() + 6, m.end()); }, Fault::BadHeader,
                   false},
        DamageCase{"InvalidBlockType", [](Bytes& m) { m[10] |= 0x06; }, Fault::DamagedData, false},
        DamageCase{"NoMagic", [](Bytes& m) { m[0] = 'x'; }, Fault::NotGzip, false},
        DamageCase{"SecondMagicByteWrong", [](Bytes& m) { m[1] = 0x8C; }, Fault::NotGzip, false},
        DamageCase{"OneByte", [](Bytes& m) { m.erase(m.begin() + 1, m.end()); }, Fault::NotGzip,
                   false},
        DamageCase{"Empty", [](Bytes& m) { m.clear(); }, Fault::NotGzip, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MemberCodec, VerifyReadsOneMemberWithinItsCount) {
    const Bytes data = sampleData(30000, 9);
    // A member of another writer, followed by unrelated bytes.
    Bytes member = toBytes(kv::test::zlibMember(std::string(data.begin(), data.end()), 6));
    const int64_t memberSize = int64_t(member.size());
    member.insert(member.end(), 50, 0xEE);

    MemoryFile file(member);
    file.capReadsAt(1000);
    const auto sound = MemberCodec::verify(file, memberSize);
    EXPECT_EQ(sound.fault, Fault::None);
    EXPECT_EQ(sound.length, int64_t(data.size()));

    // The count is a hard limit: one byte short is a member cut short.
    file.seek(0);
    EXPECT_EQ(MemberCodec::verify(file, memberSize - 1).fault, Fault::Truncated);
    file.seek(0);
    EXPECT_EQ(MemberCodec::verify(file, 0).fault, Fault::NotGzip);
    file.seek(0);
    file.failReadsPast(memberSize / 2);
    EXPECT_EQ(MemberCodec::verify(file, memberSize).fault, Fault::ReadError);
    EXPECT_STREQ(MemberCodec::faultText(Fault::CrcMismatch), "CRC-32 incorrect");
}

TEST(MemberCodec, FailedReadsAndWritesAreNamed) {
    const Bytes data = sampleData(300000, 10);
    MemoryFile failingSource(data);
    failingSource.failReadsPast(20000);
    MemoryFile out;
    EXPECT_EQ(MemberCodec::compress(failingSource, out).fault,
              MemberCodec::CompressFault::ReadError);

    MemoryFile source(data);
    MemoryFile full;
    full.failWritesPast(4096);
    EXPECT_EQ(MemberCodec::compress(source, full).fault, MemberCodec::CompressFault::WriteError);

    // A full destination while inflating, whole or streamed: what was written
    // is the data's start.
    const Bytes member = compressed(data);
    for (int64_t limit : {int64_t(data.size()), int64_t(-1)}) {
        SCOPED_TRACE(limit);
        MemoryFile in(member);
        MemoryFile short50k;
        short50k.failWritesPast(50000);
        EXPECT_EQ(MemberCodec::inflate(in, in.size(), &short50k, limit).fault, Fault::WriteError);
        const Bytes& kept = short50k.bytes();
        EXPECT_TRUE(kept.size() <= 50000 && std::equal(kept.begin(), kept.end(), data.begin()));

        MemoryFile failing(member);
        failing.failReadsPast(20000);
        MemoryFile nowhere;
        EXPECT_EQ(MemberCodec::inflate(failing, failing.size(), &nowhere, limit).fault,
                  Fault::ReadError);
    }
}

// A source that grows while it is read: its size says less than it gives.
class GrowingFile final : public kv::File {
  public:
    GrowingFile(Bytes data, int64_t saidSize) : data_(std::move(data)), said_(saidSize) {}
    int64_t read(void* buffer, int64_t count) override {
        const int64_t n = std::min<int64_t>(count, int64_t(data_.size()) - at_);
        std::copy_n(data_.data() + at_, n, static_cast<uint8_t*>(buffer));
        at_ += n;
        return n;
    }
    bool write(const void*, int64_t) override { return false; }
    bool seek(int64_t position) override { return (at_ = position) >= 0; }
    int64_t position() override { return at_; }
    int64_t size() override { return said_; }
    bool close() override { return true; }

  private:
    Bytes data_;
    int64_t said_;
    int64_t at_ = 0;
};

// A member holds every byte read, however much the source grew meanwhile
// (read whole up to the size it said, the rest through the stream).
TEST(MemberCodec, SourceThatGrowsWhileReadIsCompressedWhole) {
    const Bytes data = sampleData(200000, 12);
    for (int64_t said : {int64_t(0), int64_t(1000), int64_t(199999)}) {
        SCOPED_TRACE(said);
        GrowingFile in(data, said);
        MemoryFile out;
        const MemberCodec::Compressed made = MemberCodec::compress(in, out);
        ASSERT_TRUE(made.done());
        EXPECT_EQ(made.length, int64_t(data.size()));
        EXPECT_EQ(made.crc, uint32_t(crc32(0, data.data(), uInt(data.size()))));
        MemoryFile back;
        EXPECT_EQ(inflated(out.bytes(), -1, back).fault, Fault::None);
        EXPECT_TRUE(back.bytes() == data);
    }
}

TEST(MemberCodec, ProgressRisesByTheStepAndEndsOnceAtHundred) {
    const Bytes data = sampleData(1000000, 8);
    const Bytes member = compressed(data);
    struct Way {
        const char* name;
        int64_t limit;  // for an inflation; compress when 0
        std::size_t fewest;
    };
    for (const Way& way :
         {Way{"compress", 0, 9}, Way{"streamed", -1, 2}, Way{"whole", int64_t(data.size()), 4}}) {
        SCOPED_TRACE(way.name);
        std::vector<int> seen;
        const MemberCodec::Progress progress = [&seen](int percent) { seen.push_back(percent); };
        MemoryFile in(way.limit == 0 ? data : member);
        MemoryFile out;
        if (way.limit == 0)
            ASSERT_TRUE(MemberCodec::compress(in, out, progress).done());
        else
            ASSERT_EQ(MemberCodec::inflate(in, in.size(), &out, way.limit, progress).fault,
                      Fault::None);
        ASSERT_GE(seen.size(), way.fewest);
        EXPECT_EQ(seen.front(), 0);
        EXPECT_EQ(seen.back(), 100);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 100), 1);
        for (std::size_t i = 1; i + 1 < seen.size(); ++i)
            EXPECT_GE(seen[i] - seen[i - 1], MemberCodec::ProgressStep) << "event " << i;
        // No more than 100/11 steps plus the two ends.
        EXPECT_LE(seen.size(), 11u);
    }

    // An empty input reports its start only.
    int events = 0;
    MemoryFile empty;
    MemoryFile out;
    ASSERT_TRUE(MemberCodec::compress(empty, out, [&events](int) { ++events; }).done());
    EXPECT_EQ(events, 1);
}

// A read whose progress runs the window's events may start another read on
// the same thread while it holds its share of the whole-inflation buffers:
// there is room for two of the largest, so the second never waits for the
// first (which would wait for ever). Run apart, so that a read that waits
// ends with its process.
TEST(MemberCodecDeathTest, AWholeInflationStartedFromTheProgressOfAnotherDoesNotWait) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr int64_t Largest = int64_t(8) << 20;
    // Stored blocks: the member is as large as its data.
    const Bytes member = toBytes(kv::test::zlibMember(std::string(std::size_t(Largest), 'z'), 0));
    ASSERT_GT(int64_t(member.size()), Largest);
    const auto nestedReads = [&member] {
        alarm(60);
        bool innerSound = false;
        bool started = false;
        const MemberCodec::Progress progress = [&](int) {
            if (started) return;
            started = true;
            MemoryFile again(member);
            innerSound =
                MemberCodec::inflate(again, again.size(), nullptr, Largest).fault == Fault::None;
        };
        MemoryFile in(member);
        const bool outerSound =
            MemberCodec::inflate(in, in.size(), nullptr, Largest, progress).fault == Fault::None;
        std::exit(outerSound && innerSound ? 0 : 1);
    };
    EXPECT_EXIT(nestedReads(), ::testing::ExitedWithCode(0), "");
}

// Small members of ours are inflated whole in memory, by another decoder;
// whatever damage a member has (any byte changed, cut anywhere, other bytes
// after it, header fields that decoder leaves to the stream), the answer and
// the bytes written must be the streaming reader's.
TEST(MemberCodec, WholeInflationAgreesWithTheStreamingReaderOnEveryDamage) {
    const Bytes data = sampleData(3000, 11);
    const Bytes sound = toBytes(kv::test::zlibMember(std::string(data.begin(), data.end()), 6));
    ASSERT_EQ(sound[3], 0);  // the header the whole path takes

    std::vector<Bytes> members = {sound};
    for (std::size_t i = 0; i < sound.size(); ++i)
        for (uint8_t bit : {uint8_t(0x01), uint8_t(0x80)}) {
            members.push_back(sound);
            members.back()[i] ^= bit;
        }
    for (std::size_t cut = 0; cut < sound.size(); cut += 97)
        members.emplace_back(sound.begin(), sound.begin() + cut);
    for (std::size_t extra : {1, 100}) {
        members.push_back(sound);
        members.back().insert(members.back().end(), extra, 0xEE);
    }
    Bytes named = sound;  // a name field: the stream reads it
    named[3] = 0x08;
    named.insert(named.begin() + 10, {'a', '.', 't', 'x', 't', 0});
    members.push_back(named);
    Bytes headerCrc = sound;  // a header CRC-16 that is wrong
    headerCrc[3] = 0x02;
    headerCrc.insert(headerCrc.begin() + 10, {0x12, 0x34});
    members.push_back(headerCrc);

    for (std::size_t m = 0; m < members.size(); ++m) {
        MemoryFile reference(members[m]);
        const MemberCodec::MemberCheck streamed = MemberCodec::verify(reference, reference.size());
        for (int64_t limit :
             {int64_t(data.size()), int64_t(data.size()) - 1, int64_t(data.size()) + 1000}) {
            SCOPED_TRACE("member " + std::to_string(m) + ", limit " + std::to_string(limit));
            MemoryFile out;
            const MemberCodec::MemberCheck whole = inflated(members[m], limit, out);
            const Fault expected = streamed.length > limit ? Fault::TooLong : streamed.fault;
            ASSERT_EQ(whole.fault, expected);
            if (expected != Fault::None) continue;
            EXPECT_EQ(whole.length, streamed.length);
            EXPECT_TRUE(out.bytes() == data);
        }
    }
}
