#ifndef TUMBLIX_HOST_BOTTLEFILECHECK_H
#define TUMBLIX_HOST_BOTTLEFILECHECK_H

#include <string>

// Whether a file is a bottle data file the saver can load: it opens, holds
// a model and at least one texture, the model loads and every image lump
// decodes. Nothing is shown to the user: the loaders' alerts and messages
// are collected, and false comes with the first of them as the reason.
bool CheckBottleFile(const std::string& path, std::string* error);

#endif
