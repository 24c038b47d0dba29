#ifndef TUMBLIX_TESTS_FILECONTENTS_H
#define TUMBLIX_TESTS_FILECONTENTS_H

#include <string>

// The whole of a file as bytes; empty when it cannot be read.
std::string Contents(const std::string& path);

#endif
