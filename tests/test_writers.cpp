// Byte-level checks of the writers of our file formats.
#include "ReferenceReaders.h"

#include "brewlib/ContainerWriter.h"
#include "brewlib/Ms3dWriter.h"
#include "brewlib/TgaWriter.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

brew::Lump MakeLump(std::initializer_list<uint8_t> body, uint32_t type, uint32_t mode) {
    brew::Lump l;
    l.body = body;
    l.type = type;
    l.alphaMode = mode;
    return l;
}

TEST(BottleFileWriter, HeaderDirectoryAndBodies) {
    brew::BottleHeader h;
    h.name = "Test Ale";
    h.versionMajor = 1;
    h.versionMinor = 0;
    h.flags = 0x10;
    h.tag = 7;
    h.alpha = 200;
    const brew::Bytes f =
        brew::EncodeBottleFile(h, {MakeLump({1, 2, 3}, 0, 0), MakeLump({9, 9, 9, 9, 9}, 1, 2)});

    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data())), "Test Ale");
    EXPECT_EQ(std::string(f.begin() + 50, f.begin() + 54), "TUMB");
    EXPECT_EQ(f[54], 0); // minor
    EXPECT_EQ(f[55], 1); // major
    EXPECT_EQ(ref::U32(f, 56), 0x10u);
    EXPECT_EQ(ref::U32(f, 60), 2u);
    EXPECT_EQ(ref::U32(f, 64), ~uint32_t(f.size()));
    EXPECT_EQ(f[72], 7);
    EXPECT_EQ(f[73], 200);
    EXPECT_EQ(ref::U32(f, 68), f.size() - 2 * 16); // directory last

    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, true, &lumps));
    ASSERT_EQ(lumps.size(), 2u);
    EXPECT_EQ(lumps[0].offset, 76u);
    EXPECT_EQ(lumps[0].Body(f), (ref::Bytes{1, 2, 3}));
    EXPECT_EQ(lumps[1].Body(f), (ref::Bytes{9, 9, 9, 9, 9}));
    EXPECT_EQ(lumps[1].type, 1u);
    EXPECT_EQ(lumps[1].alphaMode, 2u);
}

TEST(BottleFileWriter, LongNameIsCutAndTerminated) {
    brew::BottleHeader h;
    h.name = std::string(80, 'x');
    const brew::Bytes f = brew::EncodeBottleFile(h, {});
    EXPECT_EQ(strnlen(reinterpret_cast<const char*>(f.data()), 50), 49u);
    EXPECT_EQ(ref::U32(f, 60), 0u);
    EXPECT_EQ(f.size(), 76u);
    EXPECT_EQ(ref::U32(f, 68), 76u);
    EXPECT_EQ(ref::U32(f, 64), ~uint32_t(76));
}

TEST(ResourceFileWriter, HeaderAndDirectory) {
    const brew::Bytes f =
        brew::EncodeResourceFile({MakeLump({5}, 1, 1), MakeLump({}, 0, 0), MakeLump({6, 7}, 1, 0)});
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "DWKF");
    EXPECT_EQ(ref::U32(f, 12), 3u);
    EXPECT_EQ(ref::U32(f, 16), ~uint32_t(f.size()));
    EXPECT_EQ(ref::U32(f, 20), f.size() - 3 * 28);
    std::vector<ref::Lump> lumps;
    ASSERT_TRUE(ref::ReadDirectory(f, false, &lumps));
    EXPECT_EQ(lumps[0].Body(f), ref::Bytes{5});
    EXPECT_EQ(lumps[1].size, 0u);
    EXPECT_EQ(lumps[2].Body(f), (ref::Bytes{6, 7}));
    EXPECT_EQ(lumps[0].alphaMode, 1u);
    for (size_t i = 0; i < 3; i++) {
        const size_t reserved = ref::U32(f, 20) + i * 28 + 16;
        for (size_t k = 0; k < 12; k++) {
            EXPECT_EQ(f[reserved + k], 0) << "entry " << i;
        }
    }
}

brew::Image Pattern(uint32_t w, uint32_t h, uint32_t c) {
    brew::Image image(w, h, c);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(x * 7 + y);
            p[1] = uint8_t(y * 13);
            p[2] = uint8_t((x + y) % 3 == 0 ? 200 : 10); // some runs, some not
            if (c == 4) {
                p[3] = uint8_t(x);
            }
        }
    }
    return image;
}

// The decoder keeps file order, and the writer stores the bottom row first.
void ExpectSameImage(const ref::Tga& t, const brew::Image& image) {
    ASSERT_EQ(uint32_t(t.width), image.width);
    ASSERT_EQ(uint32_t(t.height), image.height);
    ASSERT_EQ(uint32_t(t.channels), image.channels);
    for (uint32_t y = 0; y < image.height; y++) {
        for (uint32_t x = 0; x < image.width; x++) {
            for (uint32_t k = 0; k < image.channels; k++) {
                ASSERT_EQ(t.At(int(x), int(image.height - 1 - y))[k], image.At(x, y)[k])
                    << "pixel " << x << "," << y << " channel " << k;
            }
        }
    }
}

TEST(TgaWriter, UncompressedHeaderAndPixelOrder) {
    const brew::Image image = Pattern(5, 3, 3);
    const brew::Bytes b = brew::EncodeTGA(image, false);
    const uint8_t fixed[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(b.data(), fixed, 12), 0);
    EXPECT_EQ(ref::U16(b, 12), 5);
    EXPECT_EQ(ref::U16(b, 14), 3);
    EXPECT_EQ(b[16], 24);
    EXPECT_EQ(b[17] & 0x20, 0) << "rows must be stored bottom-up";
    EXPECT_EQ(b.size(), 18u + 5 * 3 * 3);
    // First stored pixel: the image's bottom-left one, as B, G, R.
    const uint8_t* p = image.At(0, 2);
    EXPECT_EQ(b[18], p[2]);
    EXPECT_EQ(b[19], p[1]);
    EXPECT_EQ(b[20], p[0]);
    ref::Tga t;
    ASSERT_TRUE(ref::DecodeTga(b, &t));
    ExpectSameImage(t, image);
}

TEST(TgaWriter, RunLengthStreamsDecodeToTheImage) {
    for (uint32_t c : {3u, 4u}) {
        for (auto size : {std::pair<uint32_t, uint32_t>{1, 1}, {7, 5}, {300, 3}, {130, 130}}) {
            const brew::Image image = Pattern(size.first, size.second, c);
            const brew::Bytes b = brew::EncodeTGA(image, true);
            EXPECT_EQ(b[2], 10);
            EXPECT_EQ(b[16], c * 8);
            ref::Tga t;
            ASSERT_TRUE(ref::DecodeTga(b, &t)) << size.first << "x" << size.second;
            ExpectSameImage(t, image);
        }
    }
}

// Walks the packets; returns the pixel count of each.
std::vector<size_t> Packets(const brew::Bytes& b, size_t bytesPerPixel, bool* runs) {
    std::vector<size_t> counts;
    size_t at = 18;
    while (at < b.size()) {
        const uint8_t h = b[at++];
        const size_t n = (h & 0x7f) + 1;
        counts.push_back(n);
        runs[counts.size() - 1 < 64 ? counts.size() - 1 : 63] = (h & 0x80) != 0;
        at += (h & 0x80) ? bytesPerPixel : n * bytesPerPixel;
    }
    EXPECT_EQ(at, b.size()) << "the last packet must end the file";
    return counts;
}

TEST(TgaWriter, PacketsStopAt128AndRunsCrossRows) {
    // 10 by 40 of one colour: runs of 128, 128, 128 and 16, each crossing
    // several rows. 300 different pixels: raw packets of 128, 128 and 44.
    brew::Image flat(10, 40, 3);
    for (uint8_t& v : flat.pixels)
        v = 77;
    brew::Image varied(300, 1, 3);
    for (uint32_t x = 0; x < 300; x++) {
        varied.At(x, 0)[0] = uint8_t(x);
        varied.At(x, 0)[1] = uint8_t(x >> 8);
    }
    bool runs[64] = {};
    EXPECT_EQ(Packets(brew::EncodeTGA(flat, true), 3, runs),
              (std::vector<size_t>{128, 128, 128, 16}));
    EXPECT_TRUE(runs[0] && runs[1] && runs[2] && runs[3]);
    EXPECT_EQ(Packets(brew::EncodeTGA(varied, true), 3, runs), (std::vector<size_t>{128, 128, 44}));
    EXPECT_FALSE(runs[0] || runs[1] || runs[2]);
}

TEST(TgaWriter, RefusesImagesItCannotStore) {
    EXPECT_THROW(brew::EncodeTGA(brew::Image(0, 4, 3), false), std::invalid_argument);
    EXPECT_THROW(brew::EncodeTGA(brew::Image(4, 4, 2), false), std::invalid_argument);
    brew::Image shortImage(4, 4, 3);
    shortImage.pixels.pop_back();
    EXPECT_THROW(brew::EncodeTGA(shortImage, true), std::invalid_argument);
}

TEST(Ms3dWriter, SectionsInOrderWithTheirSizes) {
    brew::Ms3dModel m;
    m.version = 3;
    for (int i = 0; i < 3; i++) {
        brew::Ms3dVertex v;
        v.location[0] = float(i);
        v.location[1] = 2.5f;
        m.vertices.push_back(v);
    }
    brew::Ms3dTriangle t;
    t.vertexIndices[0] = 0;
    t.vertexIndices[1] = 1;
    t.vertexIndices[2] = 2;
    t.s[1] = 0.5f;
    t.t[2] = 0.25f;
    t.groupIndex = 0;
    m.triangles.push_back(t);
    brew::Ms3dGroup g;
    g.name = "glass";
    g.triangleIndices = {0};
    g.materialIndex = 3;
    m.groups.push_back(g);
    m.materials.resize(2);
    brew::Ms3dJoint j;
    j.rotationKeys.resize(1);
    j.translationKeys.resize(2);
    m.joints.push_back(j);

    const brew::Bytes b = brew::EncodeMS3D(m);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 10), "MS3D000000");
    EXPECT_EQ(ref::U32(b, 10), 3u);
    const size_t groups = 14 + 2 + 3 * 15 + 2 + 70;
    const size_t materials = groups + 2 + (1 + 32 + 2 + 2 + 1);
    const size_t animation = materials + 2 + 2 * 361;
    const size_t joints = animation + 12;
    EXPECT_EQ(b.size(), joints + 2 + 93 + 3 * 16);
    EXPECT_EQ(ref::U16(b, materials), 2);
    EXPECT_EQ(int8_t(b[materials - 1]), 3); // the group's material index ends the group
    EXPECT_EQ(ref::F32(b, animation), 24.0f);
    EXPECT_EQ(ref::U16(b, joints), 1);

    ref::Ms3d read;
    ASSERT_TRUE(ref::ReadMs3d(b, &read));
    EXPECT_EQ(read.vertices[2].p[0], 2.0f);
    EXPECT_EQ(read.vertices[2].p[1], 2.5f);
    EXPECT_EQ(read.triangles[0].s[1], 0.5f);
    EXPECT_EQ(read.triangles[0].t[2], 0.25f);
    EXPECT_EQ(read.groups[0].name, "glass");
}

TEST(Ms3dWriter, TooManyVerticesIsRefused) {
    brew::Ms3dModel m;
    m.vertices.resize(65536);
    EXPECT_THROW(brew::EncodeMS3D(m), std::invalid_argument);
}

TEST(FileBytes, WriteThenReadAndFailuresSayWhy) {
    ref::TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    const std::string path = folder.path + "/file.bin";
    const brew::Bytes data = {0, 1, 2, 255};
    std::string error;
    ASSERT_TRUE(brew::WriteFileBytes(path, data, &error)) << error;
    brew::Bytes back;
    ASSERT_TRUE(brew::ReadFileBytes(path, &back, &error)) << error;
    EXPECT_EQ(back, data);
    EXPECT_EQ(std::filesystem::directory_iterator(folder.path)->path().filename(), "file.bin")
        << "no temporary file may be left behind";

    EXPECT_FALSE(brew::WriteFileBytes(folder.path + "/missing/file.bin", data, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(brew::ReadFileBytes(folder.path + "/nothing", &back, &error));
    EXPECT_NE(error.find("nothing"), std::string::npos);
}

} // namespace
