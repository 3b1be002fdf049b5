// The digest a board's record gives of its program file: SHA-256 against
// published vectors, in pieces and read from a file.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "support/TempDir.h"
#include "sys/Sha256.h"

namespace pelican::test {
namespace {

std::string Digest(const std::string& text) {
    CSha256 hash;
    hash.Update(text.data(), text.size());
    return hash.HexDigest();
}

TEST(Sha256, PublishedVectorsAndBlockBoundaries) {
    // FIPS 180-2 examples, and sha256sum's digests of runs of 'a' around
    // the 55/56 and 64-byte padding limits.
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
    };
    for (const auto& [text, digest] : cases) EXPECT_EQ(Digest(text), digest) << text.size();
}

TEST(Sha256, AMillionAsInPiecesAndFromAFile) {
    CSha256 hash;
    const std::string piece(1000, 'a');
    for (int i = 0; i < 1000; ++i) hash.Update(piece.data(), piece.size());
    EXPECT_EQ(hash.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    CTempDir dir;
    dir.Write("million", std::string(1000000, 'a'));
    std::string digest;
    std::string error;
    ASSERT_TRUE(CSha256::OfFile(dir.File("million"), digest, error)) << error;
    EXPECT_EQ(digest, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(CSha256::OfFile(dir.File("missing"), digest, error));
    EXPECT_EQ(error, "no such file");
}

}  // namespace
}  // namespace pelican::test
