#ifndef TUMBLIX_HOST_DOWNLOADLIST_H
#define TUMBLIX_HOST_DOWNLOADLIST_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// One downloadable bottle type.
struct DOWNLOADDATA {
    char typeName[40]; // display name, at most 39 bytes
    char url[512];     // address of its data file, at most 511 bytes
};

// The server's list of bottle types: a property list whose root is an array
// of strings "display name;address" (anything after a second ";" ignored).
namespace DownloadList {

// More entries than a pop-up can sensibly offer are not read.
constexpr size_t kMaxEntries = 1000;

struct Result {
    std::vector<DOWNLOADDATA> entries; // the offered types, in list order
    size_t listed = 0;                 // strings in the list
    size_t skipped = 0;                // strings without a name and an address
    bool truncated = false;            // only the first kMaxEntries strings were read
};

// Parses the fetched text. A string without ";", or with nothing after it,
// carries no address and is skipped. `present` (when given) says whether the
// user's bottle folder already holds a type of that display name; such types
// are dropped. False, with the reason, when the text is not a property list
// whose root is an array of strings.
bool Parse(const std::string& text, const std::function<bool(const char* typeName)>& present,
           Result* result, std::string* error);

// Copies text into a field of `size` bytes, cut to size - 1 bytes but never
// inside a UTF-8 character, and terminated.
void CopyCut(char* field, size_t size, const std::string& text);

} // namespace DownloadList

#endif
