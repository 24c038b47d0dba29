// tumblix-content: makes the saver's default resource folder.
#include "Content.h"
#include "Painter.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

const char* usage = "Usage: tumblix-content FOLDER\n"
                    "       tumblix-content --look FOLDER\n"
                    "\n"
                    "Writes the saver's default content (dewkin.works, the bottle types,\n"
                    "clink1.wav to clink8.wav and default-background.png) into FOLDER.\n"
                    "With --look, renders every bottle type and every texture into PNG\n"
                    "files in FOLDER instead, for a person to look at.\n";

} // namespace

int main(int argc, char** argv) {
    bool look = false;
    std::string folder;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--look") == 0) {
            look = true;
        } else if (folder.empty() && argv[i][0] != '-') {
            folder = argv[i];
        } else {
            std::fprintf(stderr, "tumblix-content: unexpected argument '%s'\n\n%s", argv[i], usage);
            return 2;
        }
    }
    if (folder.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string error;
    bool ok = false;
    try {
        ok = look ? WriteLooks(folder, &error) : WriteContent(folder, &error);
    } catch (const std::exception& e) {
        error = e.what();
    }
    ReleaseFaces();
    if (!ok) {
        std::fprintf(stderr, "tumblix-content: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
