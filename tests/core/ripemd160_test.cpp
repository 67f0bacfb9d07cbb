#include <gtest/gtest.h>

#include <string>

#include "core/ripemd160.h"

static std::string ripemd_hex(const std::string &bytes) {
    Ripemd160 r;
    uint8_t digest[RIPEMD160_BYTES];
    char hex[41];
    ripemd160_start(&r);
    ripemd160_add(&r, bytes.data(), bytes.size());
    ripemd160_finish(&r, digest);
    ripemd160_to_hex(digest, hex);
    return hex;
}

TEST(Ripemd160, PublishedVectors) {
    std::string digits_eight_times;
    for (int i = 0; i < 8; i++) digits_eight_times += "1234567890";
    struct Row { std::string message; const char *digest; };
    const Row rows[] = {
        {"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {"abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {digits_eight_times,
         "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
        {std::string(1000000, 'a'), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(ripemd_hex(row.message), row.digest) << "length " << row.message.size();
    }
}

TEST(Ripemd160, UnevenPiecesGiveTheSameDigest) {
    // One million "a" fed in pieces that straddle the block and padding edges.
    const std::string a(127, 'a');
    const size_t piece_sizes[] = {1, 3, 55, 56, 63, 64, 65, 127};
    Ripemd160 r;
    uint8_t digest[RIPEMD160_BYTES];
    char hex[41];
    ripemd160_start(&r);
    size_t left = 1000000;
    for (int i = 0; left > 0; i++) {
        size_t n = piece_sizes[i % 8] < left ? piece_sizes[i % 8] : left;
        ripemd160_add(&r, a.data(), n);
        left -= n;
    }
    ripemd160_finish(&r, digest);
    ripemd160_to_hex(digest, hex);
    EXPECT_STREQ(hex, "52783243c1697bdbe16d37f97f68f08325dc1528");
}

TEST(Ripemd160, EqualsHex) {
    Ripemd160 r;
    uint8_t digest[RIPEMD160_BYTES];
    ripemd160_start(&r);
    ripemd160_add(&r, "abc", 3);
    ripemd160_finish(&r, digest);
    struct Row { const char *hex; bool equal; };
    const Row rows[] = {
        {"8eb208f7e05d987a9b044a8e98c6b087f15a0bfc", true},
        {"8EB208F7E05D987A9B044A8E98C6B087F15A0BFC", true},
        {"8eB208f7E05d987a9b044A8e98c6b087f15a0BfC", true},
        {"8eb208f7e05d987a9b044a8e98c6b087f15a0bf", false},     // short
        {"8eb208f7e05d987a9b044a8e98c6b087f15a0bfc0", false},   // long
        {"8eb208f7e05d987a9b044a8e98c6b087f15a0bfg", false},    // not hex
        {"8eb208f7e05d987a9b044a8e98c6b087f15a0bfd", false},    // other digest
        {"", false},
    };
    for (const Row &row : rows) EXPECT_EQ(ripemd160_equals_hex(digest, row.hex), row.equal) << row.hex;
}
