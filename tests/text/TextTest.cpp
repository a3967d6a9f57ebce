#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/Text.h"

namespace kv::text {
namespace {

// Every character that Windows-1252 holds, as UTF-8, with its byte.
std::vector<std::pair<unsigned char, std::string>> codePage() {
    std::vector<std::pair<unsigned char, std::string>> all;
    for (int b = 1; b < 256; ++b) {
        std::string one(1, static_cast<char>(b));
        all.push_back({static_cast<unsigned char>(b), fromStored(one)});
    }
    return all;
}

TEST(TextEncoding, EveryCodePageByteRoundTrips) {
    for (const auto& [byte, utf8] : codePage()) {
        SCOPED_TRACE(int(byte));
        EXPECT_EQ(toStored(utf8), std::string(1, static_cast<char>(byte)));
        if (byte >= 0x80) {
            EXPECT_TRUE(isMultiByteUtf8(utf8));
        }
    }
    EXPECT_EQ(fromStored("\x80"), "€");
    EXPECT_EQ(fromStored("\x9C"), "œ");
    EXPECT_EQ(fromStored("\x9F"), "Ÿ");
    EXPECT_EQ(fromStored("\xE9t\xE9"), "été");
}

TEST(TextEncoding, StoredFormIsTheCodePageWhenEverythingFitsElseUtf8) {
    EXPECT_EQ(toStored("Déjà vu"), "D\xE9j\xE0 vu");
    EXPECT_EQ(toStored("plain"), "plain");
    EXPECT_EQ(toStored("Ωmega é"), "Ωmega é");  // one character outside: the whole text stays UTF-8
    EXPECT_EQ(toStored("日本"), "日本");
    EXPECT_EQ(toStored("\xFF\xFE"), "\xFF\xFE");  // invalid UTF-8 is kept as it is
}

TEST(TextEncoding, ReadingRuleTakesValidMultiByteUtf8AsUtf8) {
    EXPECT_EQ(fromStored("Ωmega"), "Ωmega");
    EXPECT_EQ(fromStored("caf\xC3\xA9"), "café");         // valid UTF-8
    EXPECT_EQ(fromStored("caf\xE9"), "café");             // not UTF-8: the code page
    EXPECT_EQ(fromStored("\xC3\xA9\xE9"), "Ã©é");         // one invalid sequence: all code page
    EXPECT_EQ(fromStored("\xC0\xAF"), "À¯");              // overlong forms are not UTF-8
    EXPECT_EQ(fromStored("\xED\xA0\x80"), "í\xC2\xA0€");  // nor are surrogates
    EXPECT_FALSE(isMultiByteUtf8("ascii only"));
    EXPECT_FALSE(isMultiByteUtf8(""));
}

TEST(TextEncoding, TextFilesWithAByteOrderMarkAreReadInItsEncoding) {
    EXPECT_EQ(decodeTextFile("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9"), "été");
    EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE\xE9\0t\0\x3D\xD8\x00\xDE", 10)), "ét😀");
    EXPECT_EQ(decodeTextFile(std::string("\xFE\xFF\0\xE9\0t\xD8\x3D\xDE\x00", 10)), "ét😀");
    // An odd last byte goes; a surrogate without its pair is a replacement mark.
    EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE"
                                         "a\0b",
                                         5)),
              "a");
    EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE\x3D\xD8"
                                         "a\0",
                                         6)),
              "\uFFFDa");
    EXPECT_EQ(decodeTextFile(std::string("\xFF\xFE\x00\xDE", 4)), "\uFFFD");
    // Without a mark, the reading rule.
    EXPECT_EQ(decodeTextFile("caf\xE9"), "café");
    EXPECT_EQ(decodeTextFile("caf\xC3\xA9"), "café");
}

TEST(TextEncoding, DisplayShowsBytesThatAreNotUtf8AsTheirCodePageLetters) {
    EXPECT_EQ(forDisplay("caf\xE9.txt"), "café.txt");
    EXPECT_EQ(forDisplay("\xC3\xA9t\xE9 \x80"), "été €");  // valid sequences stay
    EXPECT_EQ(forDisplay("plain"), "plain");
}

TEST(TextEncoding, CodePageTextThatLooksLikeUtf8IsStoredAsUtf8) {
    // "Ã©" in Windows-1252 is C3 A9, which reads back as UTF-8 "é"; such a
    // text is stored in UTF-8 so that it reads back as it was.
    for (const std::string s : {"Ã©", "Ã©tÃ©", "â‚¬uro"}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(fromStored(toStored(s)), s);
    }
}

TEST(TextCutting, NeverSplitsACharacter) {
    const std::string s = "aé€𝄞b";  // 1 + 2 + 3 + 4 + 1 bytes
    const std::vector<std::pair<std::size_t, std::string>> rows = {
        {0, ""},    {1, "a"},   {2, "a"},     {3, "aé"}, {5, "aé"},
        {6, "aé€"}, {9, "aé€"}, {10, "aé€𝄞"}, {11, s},   {99, s}};
    for (const auto& [max, expected] : rows) {
        SCOPED_TRACE(max);
        EXPECT_EQ(utf8Cut(s, max), expected);
    }
    EXPECT_EQ(utf8Length(s), 5u);
}

TEST(TextCutting, FirstCharsCountsCharactersNotBytes) {
    const std::string s = "aé€𝄞b";
    const std::vector<std::pair<std::size_t, std::string>> rows = {
        {0, ""}, {1, "a"}, {2, "aé"}, {3, "aé€"}, {4, "aé€𝄞"}, {5, s}, {9, s}};
    for (const auto& [count, expected] : rows) {
        SCOPED_TRACE(count);
        EXPECT_EQ(firstChars(s, count), expected);
        EXPECT_EQ(firstChars(s, count) + dropChars(s, count), s);
    }
    // Stray continuation bytes stay with the character before them.
    EXPECT_EQ(firstChars("a\x80\x80"
                         "b",
                         1),
              "a\x80\x80");
    EXPECT_EQ(dropChars("\x80"
                        "b",
                        1),
              "b");
}

TEST(TextCutting, StoredCutCountsStoredBytes) {
    EXPECT_EQ(storedCut("ééééé", 3), "\xE9\xE9\xE9");  // code page: one byte each
    EXPECT_EQ(storedCut("Ωéé", 4), "Ωé");
    EXPECT_EQ(storedCut("Ωé", 2), "Ω");
    // The prefix can fit the code page when the whole does not.
    EXPECT_EQ(storedCut("éééΩ", 3), "\xE9\xE9\xE9");
    // Every cut reads back as a prefix of the text.
    const std::string text = "Ã©€Ωx";
    for (std::size_t max = 0; max <= 12; ++max) {
        const std::string cut = storedCut(text, max);
        SCOPED_TRACE(max);
        EXPECT_LE(cut.size(), max);
        EXPECT_EQ(text.rfind(fromStored(cut), 0), 0u);
    }
}

TEST(TextFolding, TableCoversAsciiAndTheCodePageLetters) {
    EXPECT_EQ(upper("abc xyz àéîõü þ œ š ž ÿ"), "ABC XYZ ÀÉÎÕÜ Þ Œ Š Ž Ÿ");
    EXPECT_EQ(lower("ABC XYZ ÀÉÎÕÜ Þ Œ Š Ž Ÿ"), "abc xyz àéîõü þ œ š ž ÿ");
    // Not letters, or without a partner in the table: unchanged.
    EXPECT_EQ(upper("÷ß µ ω 1_-"), "÷ß µ ω 1_-");
    EXPECT_EQ(lower("× Ω"), "× Ω");
    EXPECT_EQ(upper("a\xFF"
                    "b"),
              "A\xFF"
              "B");  // invalid bytes pass through
}

TEST(TextFolding, CompareNoCaseAndFoldKeyAgree) {
    const std::vector<std::pair<std::string, std::string>> equal = {{"Readme.TXT", "README.txt"},
                                                                    {"œuvre", "ŒUVRE"},
                                                                    {"ÿ", "Ÿ"},
                                                                    {"Été", "éTÉ"},
                                                                    {"", ""},
                                                                    {"a\xFF", "A\xFF"}};
    for (const auto& [a, b] : equal) {
        SCOPED_TRACE(a + " / " + b);
        EXPECT_EQ(compareNoCase(a, b), 0);
        EXPECT_EQ(foldKey(a), foldKey(b));
    }
    const std::vector<std::pair<std::string, std::string>> ordered = {
        {"a", "B"}, {"abc", "ABCD"}, {"Z", "é"}, {"e", "é"}, {"œ", "ÿ"}, {"\xFE\x80", "\xFF"}};
    for (const auto& [a, b] : ordered) {
        SCOPED_TRACE(a + " < " + b);
        EXPECT_LT(compareNoCase(a, b), 0);
        EXPECT_GT(compareNoCase(b, a), 0);
        EXPECT_NE(foldKey(a), foldKey(b));
    }
    EXPECT_NE(foldKey("ß"), foldKey("SS"));
    EXPECT_FALSE(equalNoCase("e", "é"));
}

TEST(TextFolding, ComparisonIsConsistentOnMixedAndBrokenText) {
    // Pieces that fold together, multi-byte characters, and bytes that are
    // not valid UTF-8 on their own or next to each other.
    const std::vector<std::string> pieces = {"a", "A",        "é",    "É",    "ÿ", "Ÿ",
                                             "€", "\xE2\x82", "\x80", "\xC3", "z", "_"};
    std::mt19937 rng(12345);
    auto randomText = [&](int max) {
        std::string s;
        const int n = static_cast<int>(rng() % static_cast<unsigned>(max + 1));
        for (int i = 0; i < n; ++i) s += pieces[rng() % pieces.size()];
        return s;
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (int round = 0; round < 20000; ++round) {
        const std::string a = randomText(4), b = randomText(4), prefix = randomText(6) + "z";
        const int ab = sign(compareNoCase(a, b));
        ASSERT_EQ(ab, -sign(compareNoCase(b, a))) << a << " / " << b;
        ASSERT_EQ(ab == 0, foldKey(a) == foldKey(b)) << a << " / " << b;
        ASSERT_EQ(ab, sign(compareNoCase(prefix + a, prefix + b)))
            << prefix << " + " << a << " / " << b;
    }
}

}  // namespace
}  // namespace kv::text
