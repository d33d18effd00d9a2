#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "gen_support.hpp"

namespace {

std::string hex_digest(std::string_view message) {
    std::string out;
    for (const std::uint8_t byte : gen::sha256(message)) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        out += pair;
    }
    return out;
}

// The published test vectors: the empty message, one block, a 448-bit message
// whose padding spills into a second block, and a million-byte message.
TEST(Sha256, StandardTestVectors) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hex_digest(c.message), c.digest) << "message of " << c.message.size() << " bytes";
    }
}

}  // namespace
