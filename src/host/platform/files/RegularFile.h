#pragma once

#include <string>
#include <sys/stat.h>

struct SDL_RWops;

// Files named by settings, folders or content are opened only when they are
// regular files, checked on the opened descriptor so that nothing can be
// swapped in between. The open never blocks: a FIFO would wait for a writer.

// A read-only descriptor with the file's status in `info`; -1 for anything
// that cannot be opened or is not a regular file.
int OpenRegularFile(const std::string& path, struct stat* info);

// The same as an SDL stream that closes the file when it is closed; null
// (with SDL's error set) otherwise.
SDL_RWops* OpenRegularFileStream(const char* path);
