#ifndef TUMBLIX_TESTS_FILECONTENTS_H
#define TUMBLIX_TESTS_FILECONTENTS_H

#include <fstream>
#include <iterator>
#include <string>

// The whole of a file as bytes; empty when it cannot be read.
inline std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#endif
