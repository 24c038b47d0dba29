#include "BottleFiles.h"
#include "FileContents.h"
#include "TempDir.h"
#include "assets/DataFile.h"
#include "assets/ResFile.h"

#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::vector<brew::Lump> ThreeLumps() {
    return {
        {{1, 2, 3, 4, 5}, 1, 0}, {{9, 8, 7}, 0, 2}, {{0x55, 0xaa, 0x55, 0xaa, 0x00, 0xff}, 1, 1}};
}

// Where the computed fields of each container's header lie.
struct BottleFormat {
    using Reader = DATAFILE;
    static constexpr size_t headerSize = 76, entrySize = 16, magicAt = 50, countAt = 60,
                            sizeAt = 64, dirAt = 68;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeBottleFile(brew::BottleHeader(), lumps);
    }
};
struct ResourceFormat {
    using Reader = RESFILE;
    static constexpr size_t headerSize = 24, entrySize = 28, magicAt = 0, countAt = 12, sizeAt = 16,
                            dirAt = 20;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeResourceFile(lumps);
    }
};

template <typename Format> class ContainerTest : public ::testing::Test {
  protected:
    std::string Write(const brew::Bytes& bytes) {
        return fixtures::WriteBytes(tmp / "file", bytes);
    }
    TempDir tmp;
};
using Formats = ::testing::Types<BottleFormat, ResourceFormat>;
TYPED_TEST_SUITE(ContainerTest, Formats);

TYPED_TEST(ContainerTest, OpensAndSeeksToEveryLumpBody) {
    const std::vector<brew::Lump> lumps = ThreeLumps();
    const brew::Bytes bytes = TypeParam::Encode(lumps);
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(bytes).c_str()));
    ASSERT_TRUE(reader.header.numLumps == 3 && reader.lumps.size() == 3);
    for (int n : {3, 4, -1, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(reader.SeekLump(n)) << n;
    }
    // Backwards, so each seek really moves the stream.
    for (int i = 2; i >= 0; i--) {
        EXPECT_TRUE(reader.lumps[i].size == lumps[i].body.size() &&
                    reader.lumps[i].type == lumps[i].type &&
                    reader.lumps[i].alphaMode == lumps[i].alphaMode);
        ASSERT_TRUE(reader.SeekLump(i));
        std::vector<uint8_t> body(lumps[i].body.size());
        reader.stream.read(reinterpret_cast<char*>(body.data()), std::streamsize(body.size()));
        EXPECT_EQ(body, lumps[i].body) << "lump " << i;
    }
    reader.Close();
    EXPECT_FALSE(reader.stream.is_open());
    EXPECT_FALSE(reader.SeekLump(0));

    // An empty directory opens, with no lump to seek to.
    ASSERT_TRUE(reader.Open(this->Write(TypeParam::Encode({})).c_str()));
    EXPECT_FALSE(reader.SeekLump(0));

    // A lump body past the end: its seek succeeds, the read fails, and later
    // seeks fail too.
    brew::Bytes far = bytes;
    PutU32At(far, U32At(far, TypeParam::dirAt) + TypeParam::entrySize + 4,
             uint32_t(far.size()) + 100);
    ASSERT_TRUE(reader.Open(this->Write(far).c_str()));
    ASSERT_TRUE(reader.SeekLump(1));
    char byte;
    EXPECT_FALSE(reader.stream.read(&byte, 1));
    EXPECT_FALSE(reader.SeekLump(0));
}

// Each damage, and whether the stream stays open for Close: a short header
// does; a wrong magic, a wrong size check and a directory outside the file
// close it.
TYPED_TEST(ContainerTest, DamagedFilesDoNotOpen) {
    using F = TypeParam;
    const brew::Bytes good = F::Encode(ThreeLumps());
    const uint32_t dir = U32At(good, F::dirAt), size = uint32_t(good.size());
    const auto directory = [&](uint32_t count, uint32_t offset) {
        return [=](brew::Bytes& b) {
            PutU32At(b, F::countAt, count);
            PutU32At(b, F::dirAt, offset);
        };
    };
    const std::pair<std::function<void(brew::Bytes&)>, bool> damages[] = {
        {[](brew::Bytes& b) { b.clear(); }, true},
        {[](brew::Bytes& b) { b.resize(F::headerSize - 1); }, true},
        {[](brew::Bytes& b) { b[F::magicAt + 3] ^= 0x20; }, false},
        {[](brew::Bytes& b) { b.push_back(0); }, false},
        {[](brew::Bytes& b) { b.pop_back(); }, false},
        {[=](brew::Bytes& b) { PutU32At(b, F::sizeAt, size); }, false}, // not complemented
        {directory(4, dir), false},
        {directory(0xffffffffu, dir), false}, // would ask for 64 GiB
        {directory(3, dir + 1), false},
        {directory(3, 0xfffffff0u), false},
        {directory(0, size + 1), false},
    };
    for (size_t i = 0; i < std::size(damages); i++) {
        brew::Bytes bytes = good;
        damages[i].first(bytes);
        if (i >= 6) {
            PutU32At(bytes, F::sizeAt, ~uint32_t(bytes.size()));
        }
        typename F::Reader reader;
        EXPECT_FALSE(reader.Open(this->Write(bytes).c_str())) << "damage " << i;
        EXPECT_EQ(reader.stream.is_open(), damages[i].second) << "damage " << i;
        EXPECT_TRUE(reader.lumps.empty()) << "damage " << i;
        EXPECT_FALSE(reader.SeekLump(0)) << "damage " << i;
    }
    const std::string fifo = this->tmp / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {this->tmp / "missing", this->tmp.path(), fifo}) {
        typename F::Reader reader;
        EXPECT_FALSE(reader.Open(path.c_str())) << path; // a FIFO must not block
        EXPECT_FALSE(reader.stream.is_open());
    }
    typename F::Reader reader;
    EXPECT_FALSE(reader.Open(nullptr));
}

class BottleFileTest : public ContainerTest<BottleFormat> {};

TEST_F(BottleFileTest, HeaderFieldsComeFromTheirOffsets) {
    const brew::BottleHeader h = {"Green Glass", 0, 7, 0x12345670, 0xab, 128};
    DATAFILE reader;
    ASSERT_TRUE(reader.Open(Write(brew::EncodeBottleFile(h, ThreeLumps())).c_str()));
    const DATAFILEHEADER& got = reader.header;
    EXPECT_STREQ(got.name, "Green Glass");
    EXPECT_TRUE(got.versionMajor == 0 && got.versionMinor == 7 && got.flags == 0x12345670u &&
                got.tag == 0xab && got.alpha == 128);

    brew::Bytes bytes = brew::EncodeBottleFile(h, {});
    std::fill(bytes.begin(), bytes.begin() + 50, 'a'); // no room for a terminator
    ASSERT_TRUE(reader.Open(Write(bytes).c_str()));
    EXPECT_EQ(std::string(reader.header.name), std::string(bytes.begin(), bytes.begin() + 50));
}

// Known versions are 0.any and 1.0; flags must be even.
TEST_F(BottleFileTest, OnlyKnownVersionsWithEvenFlagsOpen) {
    const std::pair<brew::BottleHeader, bool> cases[] = {
        {{"", 0, 0, 0}, true},           {{"", 0, 255, 2}, true},  {{"", 1, 0, 0xfffffffeu}, true},
        {{"", 1, 1, 0}, false},          {{"", 1, 255, 0}, false}, {{"", 2, 0, 0}, false},
        {{"", 255, 0, 0}, false},        {{"", 0, 0, 1}, false},   {{"", 0, 0, 0x80000001u}, false},
        {{"", 1, 0, 0xffffffffu}, false}};
    for (const auto& [header, opens] : cases) {
        DATAFILE reader;
        EXPECT_EQ(reader.Open(Write(brew::EncodeBottleFile(header, ThreeLumps())).c_str()), opens)
            << int(header.versionMajor) << "." << int(header.versionMinor) << " " << header.flags;
    }
}

} // namespace
