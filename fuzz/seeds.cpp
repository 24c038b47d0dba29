// The seed corpora of the fuzz targets: `seeds NAME FOLDER` writes the
// seeds of fuzz_NAME into FOLDER (none for a target without seeds).

#include "brewlib/ContainerWriter.h"
#include "brewlib/Image.h"
#include "brewlib/Ms3dWriter.h"
#include "brewlib/TgaWriter.h"

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// Stripes and a flat area, so the run-length writer makes runs and raw packets.
brew::Image Picture(uint32_t w, uint32_t h, uint32_t channels) {
    brew::Image image(w, h, channels);
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            for (uint32_t c = 0; c < channels; c++) {
                image.At(x, y)[c] = x < w / 2 ? uint8_t(40 * c) : uint8_t(x * 7 + y * 13 + c);
            }
        }
    }
    return image;
}

// A picture a few megabytes large once encoded: the fuzzers run with inputs
// of up to 4 MB, and the decoders must be seen at the sizes files reach.
brew::Image LargePicture() {
    return Picture(1024, 768, 4);
}

brew::Lump OtherLump(size_t size) {
    brew::Lump lump;
    for (size_t i = 0; i < size; i++) {
        lump.body.push_back(uint8_t(i * 31));
    }
    return lump;
}

// A model with every part the reader takes: a strip of quads, a glass group
// over all of it and a label group over the first, a textured material and,
// with `joints`, two joints with keys.
brew::Ms3dModel Model(int quads, bool joints = false) {
    brew::Ms3dModel m;
    m.groups.resize(2);
    m.groups[0].name = "glass";
    m.groups[0].materialIndex = 0;
    m.groups[1].name = "label";
    m.materials.resize(1);
    m.materials[0].texture = "glass.tga";
    for (int i = 0; i <= quads; i++) {
        for (float y : {-2.0f, 2.0f}) {
            brew::Ms3dVertex v;
            v.location[0] = float(i);
            v.location[1] = y;
            m.vertices.push_back(v);
        }
    }
    for (int i = 0; i < 2 * quads; i++) {
        brew::Ms3dTriangle t;
        for (int k = 0; k < 3; k++) {
            t.vertexIndices[k] = uint16_t(i + k);
            t.vertexNormals[k][2] = 1;
            t.s[k] = float(k) / 2;
        }
        m.groups[i < 2 ? 1 : 0].triangleIndices.push_back(uint16_t(i));
        m.triangles.push_back(t);
    }
    if (joints) {
        m.joints.resize(2);
        m.joints[0].name = "root";
        m.joints[0].rotationKeys = {{0, {0, 0, 0}}, {1, {0, 90, 0}}};
        m.joints[0].translationKeys = {{0, {0, 0, 0}}};
        m.joints[1].name = "child";
        m.joints[1].parentName = "root";
        m.joints[1].translationKeys = {{0, {1, 0, 0}}, {2, {0, 1, 0}}};
    }
    return m;
}

using Files = std::vector<std::pair<std::string, brew::Bytes>>;

brew::Bytes Text(const std::string& text) {
    return brew::Bytes(text.begin(), text.end());
}

// TGA images: both types, both depths, a top-down one, and damaged ones.
Files Tga() {
    Files files;
    for (uint32_t channels : {3u, 4u}) {
        for (bool rle : {false, true}) {
            brew::Bytes bytes = brew::EncodeTGA(Picture(9, 5, channels), rle);
            bytes[17] |= channels == 4 && rle ? 0x20 : 0; // rows top-down
            const std::string name = std::to_string(channels) + (rle ? "rle" : "");
            files.push_back({name + ".tga", bytes});
            files.push_back({name + "-cut.tga", brew::Bytes(bytes.begin(), bytes.end() - 3)});
        }
    }
    // One run more than the image holds.
    brew::Bytes over = brew::EncodeTGA(Picture(2, 2, 3), true);
    over.insert(over.end(), {0x80, 1, 2, 3});
    over[12] = 1;
    // Large ones: a real-sized image, a header at the edge bound over a
    // body that cannot fill it, and a header asking for 65535 x 65535
    // over a small run-length body.
    brew::Bytes edge = brew::EncodeTGA(Picture(64, 64, 3), true), huge = edge;
    edge[12] = edge[14] = 0;
    edge[13] = edge[15] = 0x10;
    huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
    files.insert(files.end(), {{"over.tga", over},
                               {"large.tga", brew::EncodeTGA(LargePicture(), true)},
                               {"edge.tga", edge},
                               {"huge.tga", huge}});
    return files;
}

// Resource containers.
Files Resfile() {
    const std::vector<brew::Lump> lumps = {
        brew::ImageLump(Picture(8, 8, 4), true, 2),
        brew::ImageLump(Picture(6, 2, 3), false, 1),
        OtherLump(12),
        brew::ImageLump(Picture(4, 4, 3), true, 0),
    };
    brew::Lump broken = lumps[3];
    broken.body[2] = 3; // greyscale, refused
    const brew::Lump large = brew::ImageLump(LargePicture(), false, 1);
    return Files{
        {"dewkin.works", brew::EncodeResourceFile(lumps)},
        {"empty.works", brew::EncodeResourceFile({})},
        {"one.works", brew::EncodeResourceFile({lumps[1]})},
        {"broken.works", brew::EncodeResourceFile({lumps[1], broken, lumps[0]})},
        {"large.works", brew::EncodeResourceFile({lumps[0], large})},
    };
}

// Bottle data files.
Files Datafile() {
    const std::vector<brew::Lump> lumps = {
        OtherLump(40), // where a bottle keeps its model
        brew::ImageLump(Picture(6, 4, 3), false, 0),
        brew::ImageLump(Picture(5, 3, 4), true, 1),
        brew::ImageLump(Picture(8, 2, 3), true, 2),
    };
    // Name, version major and minor, flags, tag, alpha.
    const brew::BottleHeader header{"Seed Bottle", 1, 0, 0, 3, 180}, plain,
        old{"Seed Bottle", 0, 9, 6, 3, 180}, newer{"Seed Bottle", 1, 1, 6, 3, 180};
    // An image lump whose last bytes are missing, with the length still right.
    brew::Lump cut = lumps[1];
    cut.body.resize(cut.body.size() - 5);
    const brew::Lump large = brew::ImageLump(LargePicture(), true, 0);
    return Files{
        {"bottle.brew", brew::EncodeBottleFile(header, lumps)},
        {"old.brew", brew::EncodeBottleFile(old, {lumps[0], lumps[2]})},
        {"empty.brew", brew::EncodeBottleFile(old, {})},
        {"newer.brew", brew::EncodeBottleFile(newer, lumps)},
        {"cut.brew", brew::EncodeBottleFile(plain, {lumps[0], cut, lumps[2]})},
        {"large.brew", brew::EncodeBottleFile(plain, {lumps[0], large})},
    };
}

// Models: an empty one of version 3, a small one, an animated one, one with an
// empty group, and a large one of some megabytes.
Files Ms3d() {
    brew::Ms3dModel empty;
    empty.version = 3;
    brew::Ms3dModel emptyGroup = Model(4);
    emptyGroup.groups[1].triangleIndices.clear();
    return Files{{"empty.ms3d", brew::EncodeMS3D(empty)},
                 {"small.ms3d", brew::EncodeMS3D(Model(4))},
                 {"animated.ms3d", brew::EncodeMS3D(Model(4, true))},
                 {"empty-group.ms3d", brew::EncodeMS3D(emptyGroup)},
                 {"large.ms3d", brew::EncodeMS3D(Model(16000, true))}};
}

// The packer's input: TGA images of both kinds and a model.
Files BrewInput() {
    const brew::Image image = Picture(5, 3, 4);
    return Files{{"large.tga", brew::EncodeTGA(LargePicture(), true)},
                 {"plain.tga", brew::EncodeTGA(image, false)},
                 {"rle.tga", brew::EncodeTGA(image, true)},
                 {"model.ms3d", brew::EncodeMS3D(Model(4, true))}};
}

// Preference files: a fresh store, one with every key set to something
// unusual, escapes, comments and other groups, and a large one.
Files Prefs() {
    const char* files[][2] = {
        {"defaults.ini",
         "[dwTumblixSS]\nversion=1.0\nMainMonitorOnly=false\nBottleSize=50\nMaxBottle=5\n"
         "GoodShine=true\nDrunkenBG=true\nBGType=0\nBGRes=1\nPlaySound=true\n"
         "BGPath=/usr/share/backgrounds/\nVolume=100\nShowClock=true\nClock12Hr=false\n"
         "ShowCountdown=false\nCDHr=17\nCDMin=30\nBGColR=1\nBGColG=1\nBGColB=1\n"},
        {"unusual.ini",
         "[dwTumblixSS]\nversion=1.0\nMaxBottle=-9223372036854775808\nVolume=70000\n"
         "BGType=4294967298\nBGColR=1e400\nBGColG=nan\nBGColB=-0.0\nCDHr= 12 \nCDMin=0x10\n"
         "BottleSelection=a.brew#b.brew###\nGoodShine=1\nDrunkenBG=yes\n"},
        {"escapes.ini", "# a comment\n[other]\nkey=value\n[dwTumblixSS]\nversion=1.0\n"
                        "BGPath=\\s/pics;one#two\\n\\t\\\\end \nBottleSelection=##\n"},
        {"oldversion.ini", "[dwTumblixSS]\nversion=0.9\nBottleSize=80\nBottleSelection=x#\n"},
    };
    Files out;
    for (const auto& file : files) {
        out.push_back({file[0], Text(file[1])});
    }
    // A selection of 100000 switched-off types.
    std::string large = std::string(files[0][1]) + "BottleSelection=";
    for (int i = 0; i < 100000; i++) {
        large += "type" + std::to_string(i) + ".brew#";
    }
    out.push_back({"large.ini", Text(large + "#\n")});
    return out;
}

// Desktop settings: an Xfce channel with two monitors and a KDE Plasma
// applet file with a panel and two desktops. The first byte picks the
// desktop (odd: KDE) and the monitor (high nibble).
Files DesktopSettings() {
    return Files{
        {"xfce.xml",
         Text("\x02"
              R"(<?xml version="1.0" encoding="UTF-8"?>)"
              "\n"
              R"(<channel name="xfce4-desktop" version="1.0">)"
              R"(<property name="backdrop" type="empty">)"
              R"(<property name="screen0" type="empty">)"
              R"(<property name="monitorHDMI-1" type="empty">)"
              R"(<property name="workspace0" type="empty">)"
              R"(<property name="last-image" type="string" value="/dev/null"/>)"
              R"(</property></property><property name="monitor1" type="empty">)"
              R"(<property name="workspace0" type="empty">)"
              R"(<property name="last-image" type="string" value="file:///etc/hostname"/>)"
              R"(</property></property></property></property></channel>)"
              "\n")},
        {"plasma.ini",
         Text("\x11[Containments][1]\nformfactor=2\nlastScreen=0\nplugin=org.kde.panel\n\n"
              "[Containments][7]\nactivityId=A\nformfactor=0\nlastScreen=1\n"
              "wallpaperplugin=org.kde.image\n\n"
              "[Containments][7][Wallpaper][org.kde.image][General]\n"
              "Image=file:///etc/hostname\n\n"
              "[Containments][8]\nlastScreen=0\n\n"
              "[Containments][8][Wallpaper][org.kde.image][General]\n"
              "Image=/usr/share/wallpapers/Next/\n")},
    };
}

// Download lists: XML and binary property lists of bottle types, long and
// odd entries, and roots that are not an array of strings.
Files DownloadList() {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                             "<plist version=\"1.0\">\n";
    // Three strings, the first two name;address and the third without a separator.
    const std::string binary =
        std::string("bplist00\xa3\x01\x02\x03_\x10\x1dStout;http://127.0.0.1/s.brew"
                    "_\x10&Lager;https://example.org/l.brew;extra\\no separator\x08\x0c,U") +
        std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x04" + std::string(15, '\0') +
        "b";
    // Large ones, a few megabytes each: a list nested 200000 deep, and a
    // flat list of 30000 entries.
    std::string deep = head, wide = head + "<array>";
    for (int i = 0; i < 200000; i++) {
        deep += "<array>";
    }
    for (int i = 0; i < 200000; i++) {
        deep += "</array>";
    }
    for (int i = 0; i < 30000; i++) {
        wide += "<string>T" + std::to_string(i) + ";http://h/" + std::to_string(i) + "</string>";
    }
    return Files{
        {"three.plist", Text(head + "<array>\n<string>Stout;http://127.0.0.1:8018/s.brew</string>\n"
                                    "<string>xInstalled;http://127.0.0.1/x.brew</string>\n"
                                    "<string>Ale;https://example.org/a.brew;ignored</string>\n"
                                    "</array>\n</plist>\n")},
        {"odd.plist", Text(head +
                           "<array><string>no separator</string><string>;</string>"
                           "<string>Empty;</string><string>&lt;&amp;&gt;;http://h/"
                           "&#x3b;</string><string>" +
                           std::string(60, 'n') + "\xc3\xa9;http://h/" + std::string(600, 'a') +
                           "</string><string/></array></plist>\n")},
        {"dict.plist", Text(head + "<dict><key>a</key><string>b;c</string></dict></plist>\n")},
        {"mixed.plist", Text(head + "<array><string>a;b</string><array><string>c;d</string></array>"
                                    "<integer>7</integer><data>AAEC</data></array></plist>\n")},
        {"binary.plist", Text(binary)},
        {"deep.plist", Text(deep + "</plist>\n")},
        {"wide.plist", Text(wide + "</array></plist>\n")},
    };
}

} // namespace

int main(int argc, char** argv) {
    // clang-format off
    const std::map<std::string, Files (*)()> corpora = {
        {"tga", Tga}, {"resfile", Resfile}, {"datafile", Datafile}, {"ms3d", Ms3d},
        {"brew_input", BrewInput}, {"prefs", Prefs}, {"desktopsettings", DesktopSettings},
        {"downloadlist", DownloadList}};
    // clang-format on
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TARGET FOLDER\n", argv[0]);
        return 2;
    }
    const auto corpus = corpora.find(argv[1]);
    for (const auto& [name, bytes] : corpus == corpora.end() ? Files() : corpus->second()) {
        std::string error;
        if (!brew::WriteFileBytes(std::string(argv[2]) + "/" + name, bytes, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
