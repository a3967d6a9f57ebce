#pragma once
// Gzip members for tests that build archives by hand or look inside them:
// ours, made by the member codec, and another writer's, made by zlib's own
// gzip framing. Header-only, for the test programs that link kvformat.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/MemberCodec.h"
#include "support/MemoryFile.h"

namespace kv::test {

// The member the program stores for content.
inline std::string ourMember(const std::string& content) {
    MemoryFile in(std::vector<uint8_t>(content.begin(), content.end()));
    MemoryFile out;
    EXPECT_TRUE(MemberCodec::compress(in, out).done());
    return std::string(out.bytes().begin(), out.bytes().end());
}

// The member zlib's gzip writer makes for content at level (its header has
// no flag but another XFL and OS byte than ours).
inline std::string zlibMember(const std::string& content, int level) {
    z_stream z{};
    std::string member(compressBound(uLong(content.size())) + 32, '\0');
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    z.avail_in = uInt(content.size());
    z.next_out = reinterpret_cast<Bytef*>(member.data());
    z.avail_out = uInt(member.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    member.resize(z.total_out);
    deflateEnd(&z);
    return member;
}

// The data of a sound member (a failure of the test when it is not one).
inline std::string dataOf(const std::string& member) {
    MemoryFile in(std::vector<uint8_t>(member.begin(), member.end()));
    MemoryFile out;
    EXPECT_EQ(MemberCodec::inflate(in, in.size(), &out, -1).fault, MemberCodec::MemberFault::None);
    return std::string(out.bytes().begin(), out.bytes().end());
}

// n bytes of text that compress slowly enough to give several progress
// events; the same seed gives the same text.
inline std::string slowText(std::size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = "abcdefghij klmnop\n"[(seed >> 16) % 18];
    }
    return s;
}

}  // namespace kv::test
