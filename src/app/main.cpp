#include <cstdio>
#include <cstring>

namespace {

const char* usageText =
    "Usage: tumblix [--resources DIR] [--verbose] [MODE]\n"
    "\n"
    "Glass bottles float, tumble and clink over your desktop.\n"
    "\n"
    "Modes:\n"
    "  (no mode)          the screen saver on every screen, full screen\n"
    "  --window [WxH]     one view in an ordinary window\n"
    "  --preview          the view is the preview (no overlay)\n"
    "  --root             draw into $XSCREENSAVER_WINDOW, else the root window\n"
    "  --window-id ID     draw into the X window ID (decimal or 0x hex)\n"
    "  --configure        the settings dialog with a live preview\n"
    "  --render DIR       headless: write PNG frames into DIR\n"
    "                     (--size WxH, --frames N, --every K, --seed S)\n"
    "  --bench            headless timing; prints one JSON object\n"
    "  --downloads        list the bottle types the web server offers\n"
    "  --download NAME    download one of them into your bottle folder\n"
    "  --help             this text\n"
    "  --version          the version\n";

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usageText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tumblix %s\n", TUMBLIX_VERSION);
            return 0;
        }
    }
    if (argc > 1) {
        std::fprintf(stderr, "tumblix: %s is not available yet; see --help\n", argv[1]);
    } else {
        std::fputs("tumblix: the screen saver is not available yet; see --help\n", stderr);
    }
    return 2;
}
