#include "Commands.h"

#include <cstdio>
#include <cstring>

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* help;
};

#define TUMBLIX_BREW_ENTRY(name, function, help) {name, function, help},
const Command commands[] = {TUMBLIX_BREW_COMMANDS(TUMBLIX_BREW_ENTRY)};
#undef TUMBLIX_BREW_ENTRY

void PrintUsage(FILE* to) {
    std::fputs("Usage: tumblix-brew COMMAND [ARGUMENTS]\n"
               "\n"
               "Makes and examines Tumblix bottle types (.brew) and resource containers.\n"
               "\n"
               "Commands:\n",
               to);
    for (const Command& c : commands) {
        std::fprintf(to, "  %-16s %s\n", c.name, c.help);
    }
    std::fputs("\n'tumblix-brew COMMAND --help' describes a command.\n", to);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return EXIT_USAGE;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintUsage(stdout);
        return EXIT_DONE;
    }
    for (const Command& c : commands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            return c.run(argc - 2, argv + 2);
        }
    }
    std::fprintf(stderr, "tumblix-brew: unknown command '%s'\n\n", argv[1]);
    PrintUsage(stderr);
    return EXIT_USAGE;
}
