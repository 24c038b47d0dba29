// tumblix-brew inspect and verify: what a bottle data file or resource
// container holds, and whether the saver can use every part of it.

#include "Commands.h"

#include "assets/DataFile.h"
#include "assets/ResFile.h"
#include "assets/TGALoader.h"
#include "assets/Texture.h"
#include "maths/Misc.h"
#include "model/MilkshapeModel.h"
#include "scene/SSMain.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// The decoders report through the engine's alert and error hooks; the tool
// keeps the last message as the reason.
std::string lastMessage;
void KeepAlert(const char*, const char* text) {
    lastMessage = text;
}
void KeepError(const char* text) {
    lastMessage = text;
}

struct ImageInfo {
    unsigned width = 0, height = 0, bpp = 0;
};
struct ModelInfo {
    int version = 0;
    unsigned vertices = 0, triangles = 0, materials = 0, joints = 0;
    std::vector<int> groups; // materialIndex of each group
};
struct LumpReport {
    unsigned index = 0;
    uint32_t size = 0, offset = 0, type = 0, alphaMode = 0;
    std::optional<ImageInfo> image;
    std::optional<ModelInfo> model;
    std::string error;
};
// A header field: name and either a number or a text.
struct Field {
    std::string name;
    long long number = 0;
    std::string text;
    bool isText = false;
};
struct FileReport {
    std::string path;
    std::string kind = "unknown";
    bool ok = false;
    std::string error;
    bool hasHeader = false;
    std::vector<Field> header;
    bool hasLumps = false;
    std::vector<LumpReport> lumps;
};

Field Number(const char* name, long long v) {
    return Field{name, v, "", false};
}
Field Text(const char* name, const std::string& v) {
    return Field{name, 0, v, true};
}

std::string FixedText(const char* bytes, size_t size) {
    return std::string(bytes, strnlen(bytes, size));
}

// Only regular files are read, checked on the opened descriptor: a FIFO or a
// device would block the tool or never end.
bool ReadStart(const std::string& path, std::vector<char>* start, long long* length,
               std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        *error = "not a regular file";
        return false;
    }
    *length = static_cast<long long>(info.st_size);
    start->assign(80, 0);
    const ssize_t n = pread(fd, start->data(), start->size(), 0);
    start->resize(n > 0 ? static_cast<size_t>(n) : 0);
    close(fd);
    return true;
}

// Why Open refused a file, from the header it read; the readers only say no.
template <typename Header>
std::string WhyRefused(const Header& h, long long length, size_t headerSize, size_t entrySize,
                       bool versioned) {
    if (length < static_cast<long long>(headerSize)) {
        return "the file is shorter than its " + std::to_string(headerSize) + "-byte header";
    }
    if (h.sizeCheck != ~static_cast<uint32_t>(length)) {
        return "the size check does not match the file's length (the file is damaged or cut short)";
    }
    if constexpr (std::is_same_v<Header, DATAFILEHEADER>) {
        if (versioned && !(h.versionMajor == 0 || (h.versionMajor == 1 && h.versionMinor == 0))) {
            return "format version " + std::to_string(h.versionMajor) + "." +
                   std::to_string(h.versionMinor) + " is not supported";
        }
        if (h.flags & 1u) {
            return "bit 0 of the flags is set";
        }
    }
    if (static_cast<long long>(h.dirOffset) +
            static_cast<long long>(h.numLumps) * static_cast<long long>(entrySize) >
        length) {
        return "the directory runs past the end of the file";
    }
    return "the directory cannot be read";
}

void InspectImage(std::ifstream* stream, LumpReport* lump) {
    Texture t;
    lastMessage.clear();
    if (LoadTGA2(&t, stream)) {
        lump->image = ImageInfo{t.width, t.height, t.bpp};
    } else {
        lump->error = lastMessage.empty() ? "the image does not decode" : lastMessage;
    }
}

void InspectModel(DATAFILE& file, LumpReport* lump) {
    char start[14] = {};
    file.stream.read(start, sizeof start);
    const bool gotStart = file.stream.gcount() == sizeof start;
    file.stream.clear();
    if (!file.SeekLump(0)) {
        lump->error = "the model cannot be read";
        return;
    }
    MS3D model;
    lastMessage.clear();
    if (!model.LoadFromFStream(file.stream)) {
        lump->error = lastMessage.empty() ? "the model does not load" : lastMessage;
        return;
    }
    ModelInfo m;
    if (gotStart) {
        std::memcpy(&m.version, start + 10, 4);
    }
    m.vertices = model.numVertices;
    m.triangles = model.numTriangles;
    m.materials = model.numMaterials;
    m.joints = model.numJoints;
    for (unsigned g = 0; g < model.numGroups; g++) {
        m.groups.push_back(model.groups[g].materialIndex);
    }
    lump->model = m;
}

template <typename Reader> void InspectLumps(Reader& reader, FileReport* r, bool bottle) {
    r->hasLumps = true;
    for (size_t i = 0; i < reader.lumps.size(); i++) {
        LumpReport lump;
        lump.index = static_cast<unsigned>(i);
        lump.size = reader.lumps[i].size;
        lump.offset = reader.lumps[i].offset;
        lump.type = reader.lumps[i].type;
        lump.alphaMode = reader.lumps[i].alphaMode;
        const bool isModel = bottle && i == 0;
        if (isModel || lump.type == 1) {
            if (!reader.SeekLump(static_cast<int>(i))) {
                lump.error = "the lump lies outside the file";
            } else if (isModel) {
                if constexpr (std::is_same_v<Reader, DATAFILE>) {
                    InspectModel(reader, &lump);
                }
            } else {
                InspectImage(&reader.stream, &lump);
            }
            // One bad lump must not hide the others.
            reader.stream.clear();
        }
        r->lumps.push_back(lump);
    }
    if (bottle && reader.lumps.size() < 2) {
        r->error = "a bottle type needs a model and at least one texture";
    }
    // What the saver's set-up refuses, in its words.
    if (!bottle && reader.lumps.size() < size_t(SCENE_TEXTURES_NEEDED)) {
        r->error = "The resource file has too few textures! (" +
                   std::to_string(reader.lumps.size()) + " lumps; the saver needs " +
                   std::to_string(int(SCENE_TEXTURES_NEEDED)) + ")";
    } else if (!bottle) {
        for (int index : {int(SCENE_FONT), int(SCENE_LOGO), 4, 5, 6, 7, int(SCENE_SHINE)}) {
            if (reader.lumps[size_t(index)].type != 1 && r->error.empty()) {
                r->error = "The resource file is missing a scene picture! (lump " +
                           std::to_string(index) + " is not a picture)";
            }
        }
    }
    for (const LumpReport& l : r->lumps) {
        if (!l.error.empty() && r->error.empty()) {
            r->error = "lump " + std::to_string(l.index) + ": " + l.error;
        }
    }
    r->ok = r->error.empty();
}

FileReport Inspect(const std::string& path) {
    FileReport r;
    r.path = path;
    std::vector<char> start;
    long long length = 0;
    if (!ReadStart(path, &start, &length, &r.error)) {
        return r;
    }
    if (start.size() >= 54 && std::memcmp(start.data() + 50, "TUMB", 4) == 0) {
        r.kind = "bottle";
        DATAFILE file;
        const bool opened = file.Open(path.c_str());
        if (length >= DATAFILE::HEADER_SIZE) {
            const DATAFILEHEADER& h = file.header;
            r.hasHeader = true;
            r.header = {Text("name", FixedText(h.name, sizeof h.name)),
                        Text("magic", std::string(h.magic, 4)),
                        Number("versionMajor", h.versionMajor),
                        Number("versionMinor", h.versionMinor),
                        Number("flags", h.flags),
                        Number("numLumps", h.numLumps),
                        Number("sizeCheck", h.sizeCheck),
                        Number("dirOffset", h.dirOffset),
                        Number("tag", h.tag),
                        Number("alpha", h.alpha)};
        }
        if (!opened) {
            r.error =
                WhyRefused(file.header, length, DATAFILE::HEADER_SIZE, DATAFILE::LUMP_SIZE, true);
        } else {
            InspectLumps(file, &r, true);
        }
        file.Close();
    } else if (start.size() >= 4 && std::memcmp(start.data(), "DWKF", 4) == 0) {
        r.kind = "resource";
        RESFILE file;
        const bool opened = file.Open(path.c_str());
        if (length >= RESFILE::HEADER_SIZE) {
            const RESFILEHEADER& h = file.header;
            r.hasHeader = true;
            r.header = {Text("magic", std::string(h.magic, 4)), Number("numLumps", h.numLumps),
                        Number("sizeCheck", h.sizeCheck), Number("dirOffset", h.dirOffset)};
        }
        if (!opened) {
            r.error =
                WhyRefused(file.header, length, RESFILE::HEADER_SIZE, RESFILE::LUMP_SIZE, false);
        } else {
            InspectLumps(file, &r, false);
        }
        file.Close();
    } else {
        r.error = "neither a bottle data file (\"TUMB\" at offset 50) nor a resource container "
                  "(\"DWKF\" at 0)";
    }
    return r;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7f) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonOrNull(const std::string& s) {
    return s.empty() ? "null" : Json(s);
}

void PrintJson(const std::vector<FileReport>& reports) {
    std::printf("[");
    for (size_t f = 0; f < reports.size(); f++) {
        const FileReport& r = reports[f];
        std::printf(
            "%s\n  {\"path\": %s, \"kind\": \"%s\", \"ok\": %s, \"error\": %s, \"header\": ",
            f ? "," : "", Json(r.path).c_str(), r.kind.c_str(), r.ok ? "true" : "false",
            JsonOrNull(r.error).c_str());
        if (!r.hasHeader) {
            std::printf("null");
        } else {
            std::printf("{");
            for (size_t i = 0; i < r.header.size(); i++) {
                const Field& h = r.header[i];
                std::printf("%s\"%s\": %s", i ? ", " : "", h.name.c_str(),
                            h.isText ? Json(h.text).c_str() : std::to_string(h.number).c_str());
            }
            std::printf("}");
        }
        std::printf(", \"lumps\": ");
        if (!r.hasLumps) {
            std::printf("null}");
            continue;
        }
        std::printf("[");
        for (size_t i = 0; i < r.lumps.size(); i++) {
            const LumpReport& l = r.lumps[i];
            std::printf("%s\n    {\"index\": %u, \"size\": %u, \"offset\": %u, \"type\": %u, "
                        "\"alphaMode\": %u, \"image\": ",
                        i ? "," : "", l.index, l.size, l.offset, l.type, l.alphaMode);
            if (l.image) {
                std::printf("{\"width\": %u, \"height\": %u, \"bpp\": %u}", l.image->width,
                            l.image->height, l.image->bpp);
            } else {
                std::printf("null");
            }
            std::printf(", \"model\": ");
            if (l.model) {
                std::printf("{\"version\": %d, \"vertices\": %u, \"triangles\": %u, \"groups\": [",
                            l.model->version, l.model->vertices, l.model->triangles);
                for (size_t g = 0; g < l.model->groups.size(); g++) {
                    std::printf("%s%d", g ? ", " : "", l.model->groups[g]);
                }
                std::printf("], \"materials\": %u, \"joints\": %u}", l.model->materials,
                            l.model->joints);
            } else {
                std::printf("null");
            }
            std::printf(", \"error\": %s}", JsonOrNull(l.error).c_str());
        }
        std::printf("\n  ]}");
    }
    std::printf("\n]\n");
}

void PrintText(const FileReport& r) {
    std::printf("%s: %s, %s\n", r.path.c_str(),
                r.kind == "unknown" ? "unknown kind" : (r.kind + " file").c_str(),
                r.ok ? "ok" : ("NOT usable: " + r.error).c_str());
    for (const Field& h : r.header) {
        std::printf("  %-13s %s\n", h.name.c_str(),
                    h.isText ? ("\"" + h.text + "\"").c_str() : std::to_string(h.number).c_str());
    }
    for (const LumpReport& l : r.lumps) {
        std::printf("  lump %-3u type %u  alpha mode %u  %8u bytes at %u", l.index, l.type,
                    l.alphaMode, l.size, l.offset);
        if (l.image) {
            std::printf("  image %ux%u, %u bits", l.image->width, l.image->height, l.image->bpp);
        }
        if (l.model) {
            std::printf(
                "  MS3D v%d: %u vertices, %u triangles, %zu groups (materials:", l.model->version,
                l.model->vertices, l.model->triangles, l.model->groups.size());
            for (int g : l.model->groups) {
                std::printf(" %d", g);
            }
            std::printf("), %u materials, %u joints", l.model->materials, l.model->joints);
        }
        if (!l.error.empty()) {
            std::printf("  ERROR: %s", l.error.c_str());
        }
        std::printf("\n");
    }
}

std::vector<FileReport> InspectAll(int argc, char** argv) {
    SetAlertPresenter(KeepAlert);
    SetErrorSink(KeepError);
    std::vector<FileReport> reports;
    for (int i = 0; i < argc; i++) {
        reports.push_back(Inspect(argv[i]));
    }
    SetAlertPresenter(nullptr);
    SetErrorSink(nullptr);
    return reports;
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int InspectCommand(int argc, char** argv) {
    bool json = false;
    if (argc > 0 && std::strcmp(argv[0], "--json") == 0) {
        json = true;
        argc--;
        argv++;
    }
    if (argc == 0 || WantsHelp(argc, argv)) {
        std::fputs("Usage: tumblix-brew inspect [--json] FILE...\n"
                   "Shows the header and the directory of bottle types (.brew) and resource\n"
                   "containers, and decodes every image lump and the model.\n",
                   argc == 0 ? stderr : stdout);
        return argc == 0 ? EXIT_USAGE : EXIT_DONE;
    }
    const std::vector<FileReport> reports = InspectAll(argc, argv);
    if (json) {
        PrintJson(reports);
    } else {
        for (const FileReport& r : reports) {
            PrintText(r);
        }
    }
    return EXIT_DONE;
}

int VerifyCommand(int argc, char** argv) {
    if (argc == 0 || WantsHelp(argc, argv)) {
        std::fputs("Usage: tumblix-brew verify FILE...\n"
                   "Exits 0 when every file opens and all of its images and its model decode;\n"
                   "otherwise prints the first reason for each bad file and exits 1.\n",
                   argc == 0 ? stderr : stdout);
        return argc == 0 ? EXIT_USAGE : EXIT_DONE;
    }
    int bad = 0;
    for (const FileReport& r : InspectAll(argc, argv)) {
        if (!r.ok) {
            std::printf("%s: %s\n", r.path.c_str(), r.error.c_str());
            bad++;
        }
    }
    return bad == 0 ? EXIT_DONE : EXIT_FAILED;
}
