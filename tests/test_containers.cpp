#include "AssetFiles.h"
#include "assets/DataFile.h"
#include "assets/ResFile.h"

#include <chrono>
#include <climits>
#include <sys/stat.h>

namespace {

brew::Lump MakeLump(std::vector<uint8_t> body, uint32_t type, uint32_t alphaMode) {
    brew::Lump lump;
    lump.body = std::move(body);
    lump.type = type;
    lump.alphaMode = alphaMode;
    return lump;
}

std::vector<brew::Lump> ThreeLumps() {
    return {MakeLump({1, 2, 3, 4, 5}, 1, 0), MakeLump({9, 8, 7}, 0, 2),
            MakeLump({0x55, 0xaa, 0x55, 0xaa, 0x00, 0xff}, 1, 1)};
}

// Where the computed fields of each container's header lie.
struct BottleFormat {
    using Reader = DATAFILE;
    static constexpr size_t headerSize = 76, entrySize = 16, magicAt = 50;
    static constexpr size_t numLumpsAt = 60, sizeCheckAt = 64, dirOffsetAt = 68;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeBottleFile(brew::BottleHeader(), lumps);
    }
};

struct ResourceFormat {
    using Reader = RESFILE;
    static constexpr size_t headerSize = 24, entrySize = 28, magicAt = 0;
    static constexpr size_t numLumpsAt = 12, sizeCheckAt = 16, dirOffsetAt = 20;
    static brew::Bytes Encode(const std::vector<brew::Lump>& lumps) {
        return brew::EncodeResourceFile(lumps);
    }
};

template <typename Format> class ContainerTest : public ::testing::Test {
  protected:
    using Reader = typename Format::Reader;

    // Recomputes the size check after a patch changed the length.
    static void FixSize(brew::Bytes& bytes) {
        PutU32(bytes, Format::sizeCheckAt, ~uint32_t(bytes.size()));
    }
    std::string Write(const brew::Bytes& bytes) { return folder.Write("file", bytes); }

    TempFolder folder;
};

using Formats = ::testing::Types<BottleFormat, ResourceFormat>;
TYPED_TEST_SUITE(ContainerTest, Formats);

TYPED_TEST(ContainerTest, OpensAndSeeksToEveryLumpBody) {
    const std::vector<brew::Lump> lumps = ThreeLumps();
    const brew::Bytes bytes = TypeParam::Encode(lumps);
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(bytes).c_str()));
    EXPECT_EQ(reader.fileSize, bytes.size());
    ASSERT_EQ(reader.header.numLumps, 3u);
    ASSERT_EQ(reader.lumps.size(), 3u);
    // Backwards, so each seek really moves the stream.
    for (int i = 2; i >= 0; i--) {
        EXPECT_EQ(reader.lumps[i].size, lumps[i].body.size());
        EXPECT_EQ(reader.lumps[i].type, lumps[i].type);
        EXPECT_EQ(reader.lumps[i].alphaMode, lumps[i].alphaMode);
        ASSERT_TRUE(reader.SeekLump(i));
        std::vector<uint8_t> body(lumps[i].body.size());
        reader.stream.read(reinterpret_cast<char*>(body.data()), std::streamsize(body.size()));
        EXPECT_EQ(body, lumps[i].body) << "lump " << i;
    }
    reader.Close();
    EXPECT_FALSE(reader.stream.is_open());
    EXPECT_TRUE(reader.lumps.empty());
    EXPECT_FALSE(reader.SeekLump(0));
    reader.Close(); // repeating is harmless
}

TYPED_TEST(ContainerTest, ShortHeaderFailsAndLeavesTheStreamForClose) {
    brew::Bytes bytes = TypeParam::Encode({});
    for (size_t length : {size_t(0), TypeParam::headerSize - 1}) {
        bytes.resize(length);
        typename TypeParam::Reader reader;
        EXPECT_FALSE(reader.Open(this->Write(bytes).c_str())) << length;
        EXPECT_TRUE(reader.stream.is_open()) << length;
        EXPECT_TRUE(reader.lumps.empty());
        EXPECT_FALSE(reader.SeekLump(0));
        reader.Close();
        EXPECT_FALSE(reader.stream.is_open());
    }
}

TYPED_TEST(ContainerTest, WrongMagicFailsAndClosesTheStream) {
    brew::Bytes bytes = TypeParam::Encode(ThreeLumps());
    bytes[TypeParam::magicAt + 3] ^= 0x20; // "TUMb", "DWKf"
    typename TypeParam::Reader reader;
    EXPECT_FALSE(reader.Open(this->Write(bytes).c_str()));
    EXPECT_FALSE(reader.stream.is_open());
    EXPECT_TRUE(reader.lumps.empty());
}

TYPED_TEST(ContainerTest, SizeCheckMustBeTheComplementOfTheLength) {
    const brew::Bytes good = TypeParam::Encode(ThreeLumps());
    brew::Bytes appended = good;
    appended.push_back(0);
    brew::Bytes cut(good.begin(), good.end() - 1);
    brew::Bytes plain = good;
    PutU32(plain, TypeParam::sizeCheckAt, uint32_t(good.size())); // not complemented
    for (const brew::Bytes* bytes : {&appended, &cut, &plain}) {
        typename TypeParam::Reader reader;
        EXPECT_FALSE(reader.Open(this->Write(*bytes).c_str())) << bytes->size();
        EXPECT_FALSE(reader.stream.is_open());
    }
}

TYPED_TEST(ContainerTest, DirectoryMustLieInsideTheFile) {
    const brew::Bytes good = TypeParam::Encode(ThreeLumps());
    const uint32_t dirOffset = GetU32(good, TypeParam::dirOffsetAt);
    struct Patch {
        uint32_t numLumps, dirOffset;
    };
    // One entry too many, a count that would ask for 64 GiB, and a directory
    // starting one byte too late or beyond the end.
    const Patch patches[] = {{4, dirOffset},
                             {0xffffffffu, dirOffset},
                             {3, dirOffset + 1},
                             {3, 0xfffffff0u},
                             {0, uint32_t(good.size()) + 1}};
    for (const Patch& p : patches) {
        brew::Bytes bytes = good;
        PutU32(bytes, TypeParam::numLumpsAt, p.numLumps);
        PutU32(bytes, TypeParam::dirOffsetAt, p.dirOffset);
        this->FixSize(bytes);
        typename TypeParam::Reader reader;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(reader.Open(this->Write(bytes).c_str()))
            << p.numLumps << " at " << p.dirOffset;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_FALSE(reader.stream.is_open());
        EXPECT_TRUE(reader.lumps.empty());
        EXPECT_FALSE(reader.SeekLump(0));
    }
}

TYPED_TEST(ContainerTest, EmptyDirectoryOpensButHasNoLumpToSeek) {
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(TypeParam::Encode({})).c_str()));
    EXPECT_TRUE(reader.stream.is_open());
    EXPECT_EQ(reader.header.numLumps, 0u);
    EXPECT_FALSE(reader.SeekLump(0));
    EXPECT_FALSE(reader.SeekLump(-1));
}

TYPED_TEST(ContainerTest, SeekLumpRefusesNumbersOutsideTheDirectory) {
    typename TypeParam::Reader fresh;
    EXPECT_FALSE(fresh.SeekLump(0));
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(TypeParam::Encode(ThreeLumps())).c_str()));
    for (int n : {3, 4, -1, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(reader.SeekLump(n)) << n;
    }
    EXPECT_TRUE(reader.SeekLump(2)); // refusals leave the stream usable
}

TYPED_TEST(ContainerTest, FailedReadPoisonsLaterSeeks) {
    brew::Bytes bytes = TypeParam::Encode(ThreeLumps());
    const uint32_t dirOffset = GetU32(bytes, TypeParam::dirOffsetAt);
    PutU32(bytes, dirOffset + TypeParam::entrySize + 4, uint32_t(bytes.size()) + 100);
    typename TypeParam::Reader reader;
    ASSERT_TRUE(reader.Open(this->Write(bytes).c_str()));
    // The seek past the end succeeds; the read that follows does not.
    ASSERT_TRUE(reader.SeekLump(1));
    char byte;
    EXPECT_FALSE(reader.stream.read(&byte, 1));
    EXPECT_FALSE(reader.SeekLump(0));
    EXPECT_FALSE(reader.SeekLump(2));
}

TYPED_TEST(ContainerTest, OnlyRegularFilesOpen) {
    const std::string fifo = this->folder.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string missing = this->folder.path + "/missing";
    for (const std::string& path : {missing, this->folder.path, fifo}) {
        typename TypeParam::Reader reader;
        EXPECT_FALSE(reader.Open(path.c_str())) << path; // a FIFO must not block
        EXPECT_FALSE(reader.stream.is_open());
    }
    typename TypeParam::Reader reader;
    EXPECT_FALSE(reader.Open(nullptr));
}

// Bottle data files only: header fields, version and flags.

class BottleFileTest : public ContainerTest<BottleFormat> {
  protected:
    static brew::Bytes Encode(const brew::BottleHeader& header) {
        return brew::EncodeBottleFile(header, ThreeLumps());
    }
    bool Opens(const brew::Bytes& bytes, bool* streamOpen = nullptr) {
        DATAFILE reader;
        const bool ok = reader.Open(Write(bytes).c_str());
        if (streamOpen != nullptr) {
            *streamOpen = reader.stream.is_open();
        }
        return ok;
    }
};

TEST_F(BottleFileTest, HeaderFieldsComeFromTheirOffsets) {
    brew::BottleHeader h;
    h.name = "Green Glass";
    h.versionMajor = 0;
    h.versionMinor = 7;
    h.flags = 0x12345670;
    h.tag = 0xab;
    h.alpha = 128;
    DATAFILE reader;
    ASSERT_TRUE(reader.Open(Write(Encode(h)).c_str()));
    EXPECT_STREQ(reader.header.name, "Green Glass");
    EXPECT_EQ(std::string(reader.header.magic, 4), "TUMB");
    EXPECT_EQ(reader.header.versionMajor, 0);
    EXPECT_EQ(reader.header.versionMinor, 7);
    EXPECT_EQ(reader.header.flags, 0x12345670u);
    EXPECT_EQ(reader.header.tag, 0xab);
    EXPECT_EQ(reader.header.alpha, 128);
    EXPECT_EQ(reader.header.numLumps, 3u);
}

TEST_F(BottleFileTest, NameFillingAllFiftyBytesStaysTerminated) {
    brew::Bytes bytes = Encode(brew::BottleHeader());
    for (int i = 0; i < 50; i++) {
        bytes[i] = uint8_t('a' + i % 26);
    }
    DATAFILE reader;
    ASSERT_TRUE(reader.Open(Write(bytes).c_str()));
    EXPECT_EQ(std::string(reader.header.name), std::string(bytes.begin(), bytes.begin() + 50));
}

TEST_F(BottleFileTest, VersionZeroAnyMinorAndOneZeroOpen) {
    struct Case {
        uint8_t major, minor;
        bool opens;
    };
    const Case cases[] = {{0, 0, true},  {0, 1, true},    {0, 255, true}, {1, 0, true},
                          {1, 1, false}, {1, 255, false}, {2, 0, false},  {255, 0, false}};
    for (const Case& c : cases) {
        brew::BottleHeader h;
        h.versionMajor = c.major;
        h.versionMinor = c.minor;
        bool streamOpen = false;
        EXPECT_EQ(Opens(Encode(h), &streamOpen), c.opens) << int(c.major) << "." << int(c.minor);
        EXPECT_TRUE(streamOpen); // refused versions leave the stream for Close
    }
}

TEST_F(BottleFileTest, OddFlagsDoNotOpen) {
    for (uint32_t flags : {1u, 3u, 0x80000001u, 0xffffffffu}) {
        brew::BottleHeader h;
        h.flags = flags;
        bool streamOpen = false;
        EXPECT_FALSE(Opens(Encode(h), &streamOpen)) << flags;
        EXPECT_TRUE(streamOpen);
    }
    for (uint32_t flags : {2u, 0xfffffffeu}) {
        brew::BottleHeader h;
        h.flags = flags;
        EXPECT_TRUE(Opens(Encode(h))) << flags;
    }
}

// The order of the checks shows in which of them leave the stream open.
TEST_F(BottleFileTest, ChecksApplyInTheirOrder) {
    brew::BottleHeader badVersion;
    badVersion.versionMajor = 2;
    brew::BottleHeader oddFlags;
    oddFlags.flags = 1;
    bool streamOpen = true;

    brew::Bytes magicFirst = Encode(badVersion);
    magicFirst[50] = 'X';
    EXPECT_FALSE(Opens(magicFirst, &streamOpen));
    EXPECT_FALSE(streamOpen) << "magic is checked before the version";

    brew::Bytes sizeFirst = Encode(oddFlags);
    sizeFirst.push_back(0);
    EXPECT_FALSE(Opens(sizeFirst, &streamOpen));
    EXPECT_FALSE(streamOpen) << "length is checked before the flags";

    for (const brew::BottleHeader& h : {badVersion, oddFlags}) {
        brew::Bytes directoryLast = Encode(h);
        PutU32(directoryLast, 60, 0xffffffffu);
        EXPECT_FALSE(Opens(directoryLast, &streamOpen));
        EXPECT_TRUE(streamOpen) << "version and flags are checked before the directory";
    }
}

TEST(ResourceFileTest, ReservedBytesMayHoldAnything) {
    brew::Bytes bytes = brew::EncodeResourceFile(ThreeLumps());
    for (size_t i = 4; i < 12; i++) {
        bytes[i] = 0xff;
    }
    const uint32_t dirOffset = GetU32(bytes, 20);
    for (size_t entry = 0; entry < 3; entry++) {
        for (size_t i = 16; i < 28; i++) {
            bytes[dirOffset + entry * 28 + i] = uint8_t(0x80 + i);
        }
    }
    TempFolder folder;
    RESFILE reader;
    ASSERT_TRUE(reader.Open(folder.Write("res", bytes).c_str()));
    ASSERT_EQ(reader.lumps.size(), 3u);
    EXPECT_EQ(reader.lumps[2].type, 1u);
    EXPECT_EQ(reader.lumps[2].alphaMode, 1u);
    EXPECT_EQ(reader.lumps[2].size, 6u);
}

} // namespace
