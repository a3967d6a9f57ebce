// kvr verify: one line per file not proven equal to its stored copy, the
// counts last, and a status of 0 only when every file is proven equal.

#include "tests/tools/KvrFixture.h"

namespace kv::test {
namespace {

class KvrVerify : public KvrFixture {
  protected:
    static constexpr int32_t Stored = 0x5A210000;  // the fixture's entry date

    void putDated(const std::string& name, const std::string& bytes) const {
        put("Docs/" + name, bytes);
        ASSERT_TRUE(platform().setLastWriteDos("K:\\Docs\\" + name, Stored));
    }
};

TEST_F(KvrVerify, LinesAndStatusSayWhatIsNotProvenEqual) {
    writeArchive("a.kvr", {Entry("un.txt", std::string(3000, '1')), Entry("deux.txt", "deuxième"),
                           Entry("trois.txt", "troisième")});
    putDated("un.txt", std::string(3000, '1'));
    putDated("deux.txt", "DEUXIÈME");  // same length, same date, other bytes
    Outcome r = kvr("verify -q 'K:\\a.kvr'");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "K:\\Docs\\deux.txt : contenu différent de la copie archivée, sans date plus "
              "récente\n"
              "K:\\Docs\\trois.txt : absent du disque\n"
              "Vérification : 1 identique(s), 1 différent(s), 0 modifié(s), 0 endommagé(s), 1 "
              "manquant(s)\n");

    putDated("deux.txt", "deuxième");
    putDated("trois.txt", "troisième");
    r = kvr("verify 'K:\\a.kvr'");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out,
              "Vérification : 3 identique(s), 0 différent(s), 0 modifié(s), 0 endommagé(s), 0 "
              "manquant(s)\n");

    // One flipped byte in a member: verify finds it whatever the disk holds.
    std::string damaged = read("a.kvr");
    damaged[damaged.size() - 3] ^= 0x40;  // the length in the last trailer
    put("a.kvr", damaged);
    r = kvr("verify 'K:\\a.kvr'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("K:\\Docs\\trois.txt : endommagé dans l'archive : "), std::string::npos)
        << r.out;

    EXPECT_EQ(kvr("verify").status, 2);
    EXPECT_EQ(kvr("verify 'K:\\absent.kvr'").status, 1);
}

}  // namespace
}  // namespace kv::test
