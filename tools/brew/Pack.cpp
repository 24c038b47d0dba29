// pack-bottle and pack-resources: build the two lump containers from files.
#include "Commands.h"
#include "Ms3dCheck.h"
#include "TgaInput.h"

#include "brewlib/ContainerWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* packBottleUsage =
    "Usage: tumblix-brew pack-bottle -o FILE.brew --name NAME --model MODEL.ms3d [OPTIONS] "
    "SLOT...\n"
    "\n"
    "Packs a bottle type: a MilkShape 3D model and its texture slots.\n"
    "\n"
    "  -o, --output FILE   the bottle data file to write (the saver looks for .brew files)\n"
    "  --name NAME         display name shown in the settings, 1 to 49 bytes\n"
    "  --model FILE        the mesh: a binary MilkShape 3D model, version 3 or 4\n"
    "  --alpha N           opacity of the glass, 0 (invisible) to 255 (opaque); default 128\n"
    "  --tag N             a byte stored with the type, 0 to 255; default 0\n"
    "  --flags N           32-bit flags stored with the type, bit 0 clear; default 0\n"
    "\n"
    "Texture slots, in order from slot 0 (at least one). Slot 0 is the glass; a model\n"
    "group whose material index is n (1 or more) is a label drawn with slot n.\n"
    "  --tga FILE[:MODE]   a true-colour TGA image (24 or 32 bits, plain or RLE);\n"
    "                      MODE forms its alpha: opaque (or 0, the default), key (or 1:\n"
    "                      pixels of the colour of the bottom-left pixel are transparent),\n"
    "                      bright (or 2: the brightest of red, green and blue)\n"
    "  --blob FILE         a lump that is not an image; its slot has no texture\n"
    "  --empty             an empty lump; its slot has no texture\n"
    "\n"
    "Numbers are decimal or 0x hexadecimal. Exit status: 0 written, 1 failed, 2 bad usage.\n";

const char* packResourcesUsage =
    "Usage: tumblix-brew pack-resources -o FILE LUMP...\n"
    "\n"
    "Packs a resource container (the saver's is dewkin.works) from lumps, in order from 0.\n"
    "The saver draws lump 0 as the bitmap font, 1 as the banner logo, 4 to 7 as the\n"
    "messages and 8 as the bottles' shine, so it needs at least nine lumps with those\n"
    "being images.\n"
    "\n"
    "  -o, --output FILE   the container to write\n"
    "  --tga FILE[:MODE]   a true-colour TGA image; MODE as for pack-bottle:\n"
    "                      opaque (0, default), key (1) or bright (2)\n"
    "  --blob FILE         a lump that is not an image\n"
    "  --empty             an empty lump\n"
    "\n"
    "Exit status: 0 written, 1 failed, 2 bad usage.\n";

// Thrown for a command line that cannot be right; a file that cannot be read
// or used is reported as a failure instead.
struct UsageError {
    std::string text;
};
struct PackError {
    std::string text;
};

uint32_t ParseNumber(const char* option, const char* text, uint32_t max) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (text[0] == '\0' || text[0] == '-' || *end != '\0' || errno != 0 || v > max) {
        throw UsageError{std::string(option) + " takes a number from 0 to " + std::to_string(max) +
                         ", not '" + text + "'"};
    }
    return uint32_t(v);
}

// FILE or FILE:MODE; a suffix that is no mode belongs to the file name.
void SplitMode(const std::string& arg, std::string* file, uint32_t* mode) {
    static const struct {
        const char* name;
        uint32_t mode;
    } modes[] = {{"0", 0}, {"opaque", 0}, {"1", 1}, {"key", 1}, {"2", 2}, {"bright", 2}};
    *file = arg;
    *mode = 0;
    const size_t colon = arg.rfind(':');
    if (colon == std::string::npos) {
        return;
    }
    const std::string suffix = arg.substr(colon + 1);
    for (const auto& m : modes) {
        if (suffix == m.name) {
            *file = arg.substr(0, colon);
            *mode = m.mode;
            return;
        }
    }
}

brew::Bytes ReadInput(const std::string& path) {
    brew::Bytes bytes;
    std::string error;
    if (!brew::ReadFileBytes(path, &bytes, &error)) {
        throw PackError{error};
    }
    return bytes;
}

// Lump options shared by both commands. Returns false when argv[*i] is not one.
bool TakeLump(int argc, char** argv, int* i, std::vector<brew::Lump>* lumps) {
    const std::string option = argv[*i];
    if (option == "--empty") {
        lumps->push_back(brew::Lump{});
        return true;
    }
    if (option != "--tga" && option != "--blob") {
        return false;
    }
    if (*i + 1 >= argc) {
        throw UsageError{option + " needs a file"};
    }
    const std::string arg = argv[++*i];
    brew::Lump lump;
    if (option == "--blob") {
        lump.body = ReadInput(arg);
    } else {
        std::string file, error;
        SplitMode(arg, &file, &lump.alphaMode);
        brew::Image image;
        if (!ReadTgaImage(ReadInput(file), &image, &error)) {
            throw PackError{file + ": " + error};
        }
        lump = brew::ImageLump(image, true, lump.alphaMode);
    }
    lumps->push_back(std::move(lump));
    return true;
}

const char* NeedValue(int argc, char** argv, int* i) {
    if (*i + 1 >= argc) {
        throw UsageError{std::string(argv[*i]) + " needs a value"};
    }
    return argv[++*i];
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 0; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return true;
        }
    }
    return false;
}

void Write(const std::string& path, const brew::Bytes& bytes, size_t numLumps) {
    std::string error;
    if (!brew::WriteFileBytes(path, bytes, &error)) {
        throw PackError{error};
    }
    std::printf("wrote %s: %zu lumps, %zu bytes\n", path.c_str(), numLumps, bytes.size());
}

int Report(const char* command, const char* usage, const UsageError& e) {
    std::fprintf(stderr, "tumblix-brew %s: %s\n\n%s", command, e.text.c_str(), usage);
    return EXIT_USAGE;
}

int Report(const char* command, const PackError& e) {
    std::fprintf(stderr, "tumblix-brew %s: %s\n", command, e.text.c_str());
    return EXIT_FAILED;
}

void PackBottle(int argc, char** argv) {
    std::string output, modelPath;
    brew::BottleHeader header;
    header.alpha = 128;
    bool named = false;
    // The model is read after the command line is known to be whole, so a
    // usage mistake is reported as one even when a file is also missing.
    std::vector<brew::Lump> slots;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "-o" || a == "--output") {
            output = NeedValue(argc, argv, &i);
        } else if (a == "--name") {
            header.name = NeedValue(argc, argv, &i);
            named = true;
        } else if (a == "--model") {
            modelPath = NeedValue(argc, argv, &i);
        } else if (a == "--alpha") {
            header.alpha = uint8_t(ParseNumber("--alpha", NeedValue(argc, argv, &i), 255));
        } else if (a == "--tag") {
            header.tag = uint8_t(ParseNumber("--tag", NeedValue(argc, argv, &i), 255));
        } else if (a == "--flags") {
            header.flags = ParseNumber("--flags", NeedValue(argc, argv, &i), 0xffffffffu);
            if (header.flags & 1) {
                throw UsageError{"bit 0 of --flags must be clear: the saver refuses such files"};
            }
        } else if (a == "--tga" || a == "--blob" || a == "--empty") {
            // Checked below, once the rest of the line is known to be right.
            i += (a == "--empty") ? 0 : 1;
            if (i >= argc) {
                throw UsageError{a + " needs a file"};
            }
        } else {
            throw UsageError{"unknown argument '" + a + "'"};
        }
    }
    if (output.empty()) {
        throw UsageError{"no output file (-o FILE.brew)"};
    }
    if (!named || header.name.empty() || header.name.size() > 49) {
        throw UsageError{"--name takes a display name of 1 to 49 bytes"};
    }
    if (modelPath.empty()) {
        throw UsageError{"no model (--model MODEL.ms3d)"};
    }

    brew::Lump model;
    model.body = ReadInput(modelPath);
    Ms3dSummary summary;
    std::string error;
    if (!CheckMs3d(model.body, &summary, &error)) {
        throw PackError{modelPath + ": " + error};
    }
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "-o" || a == "--output" || a == "--name" || a == "--model" || a == "--alpha" ||
            a == "--tag" || a == "--flags") {
            i++;
        } else {
            TakeLump(argc, argv, &i, &slots);
        }
    }
    if (slots.empty()) {
        throw UsageError{"no texture slots: give at least the glass (--tga FILE)"};
    }
    for (size_t g = 0; g < summary.groupMaterials.size(); g++) {
        const int m = summary.groupMaterials[g];
        if (m >= int(slots.size())) {
            throw PackError{modelPath + ": group '" + summary.groupNames[g] +
                            "' is a label of slot " + std::to_string(m) + ", but only " +
                            std::to_string(slots.size()) + " slots were given"};
        }
        if (m > 0 && slots[m].type != brew::LUMP_TGA) {
            std::fprintf(stderr,
                         "tumblix-brew pack-bottle: warning: group '%s' is a label of "
                         "slot %d, which is not an image\n",
                         summary.groupNames[g].c_str(), m);
        }
    }
    if (slots[0].type != brew::LUMP_TGA) {
        std::fputs("tumblix-brew pack-bottle: warning: slot 0 (the glass) is not an image\n",
                   stderr);
    }
    std::vector<brew::Lump> lumps;
    lumps.push_back(std::move(model));
    for (brew::Lump& s : slots) {
        lumps.push_back(std::move(s));
    }
    Write(output, brew::EncodeBottleFile(header, lumps), lumps.size());
    std::printf("  '%s': %d triangles, %zu groups, %zu texture slots, glass alpha %u\n",
                header.name.c_str(), summary.numTriangles, summary.groupMaterials.size(),
                lumps.size() - 1, unsigned(header.alpha));
}

void PackResources(int argc, char** argv) {
    std::string output;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "-o" || a == "--output") {
            output = NeedValue(argc, argv, &i);
        } else if (a == "--tga" || a == "--blob") {
            if (++i >= argc) {
                throw UsageError{a + " needs a file"};
            }
        } else if (a != "--empty") {
            throw UsageError{"unknown argument '" + a + "'"};
        }
    }
    if (output.empty()) {
        throw UsageError{"no output file (-o FILE)"};
    }
    std::vector<brew::Lump> lumps;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "-o" || a == "--output") {
            i++;
        } else {
            TakeLump(argc, argv, &i, &lumps);
        }
    }
    if (lumps.empty()) {
        throw UsageError{"no lumps given"};
    }
    for (size_t n : {0, 1, 4, 5, 6, 7, 8}) {
        if (n >= lumps.size() || lumps[n].type != brew::LUMP_TGA) {
            std::fprintf(stderr,
                         "tumblix-brew pack-resources: warning: lump %zu is not an image; "
                         "the saver cannot use this container\n",
                         n);
        }
    }
    Write(output, brew::EncodeResourceFile(lumps), lumps.size());
}

} // namespace

int PackBottleCommand(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        std::fputs(packBottleUsage, stdout);
        return EXIT_DONE;
    }
    try {
        PackBottle(argc, argv);
    } catch (const UsageError& e) {
        return Report("pack-bottle", packBottleUsage, e);
    } catch (const PackError& e) {
        return Report("pack-bottle", e);
    }
    return EXIT_DONE;
}

int PackResourcesCommand(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        std::fputs(packResourcesUsage, stdout);
        return EXIT_DONE;
    }
    try {
        PackResources(argc, argv);
    } catch (const UsageError& e) {
        return Report("pack-resources", packResourcesUsage, e);
    } catch (const PackError& e) {
        return Report("pack-resources", e);
    }
    return EXIT_DONE;
}
