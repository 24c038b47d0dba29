#ifndef TUMBLIX_BREW_COMMANDS_H
#define TUMBLIX_BREW_COMMANDS_H

// Every subcommand of tumblix-brew: name, entry point, one line of help.
// A subcommand lives in its own source file and takes one line here.
// Entry points get the arguments after the subcommand's name and return the
// exit status: 0 done, 1 failed, 2 bad usage.
#define TUMBLIX_BREW_COMMANDS(X)                                                                   \
    X("pack-bottle", PackBottleCommand, "pack an MS3D model and TGA images into a bottle type")    \
    X("pack-resources", PackResourcesCommand,                                                      \
      "pack images and other lumps into a resource container")                                     \
    X("inspect", InspectCommand, "show what bottle types and resource containers hold")            \
    X("verify", VerifyCommand, "check that the saver can use every part of the given files")       \
    X("preview", PreviewCommand, "write every image of the given files as PNG into a folder")    \
    X("site", SiteCommand, "write a static site that offers bottle types for download")

enum { EXIT_DONE = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

#define TUMBLIX_BREW_DECLARE(name, function, help) int function(int argc, char** argv);
TUMBLIX_BREW_COMMANDS(TUMBLIX_BREW_DECLARE)
#undef TUMBLIX_BREW_DECLARE

#endif
