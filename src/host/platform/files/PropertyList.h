#ifndef TUMBLIX_HOST_PLATFORM_FILES_PROPERTYLIST_H
#define TUMBLIX_HOST_PLATFORM_FILES_PROPERTYLIST_H

#include <cstddef>
#include <string>
#include <vector>

// Property lists, XML or binary, read with libplist.
namespace PropertyList {

// Bounds a list is scanned for before it is parsed: elements (XML) or
// objects (binary), and the depth of XML elements. A list of bottle types
// needs three levels (plist, array, string), one element per entry, and
// (binary) no container but its root.
constexpr size_t kMaxElements = 200000;
constexpr size_t kMaxDepth = 16;

// The strings of a property list whose root is an array of strings, in
// order. False, with the reason in *error, when the bytes are not a property
// list or its root is anything else (an array holding anything but strings
// included), or when it goes past the bounds above; *strings is then left
// empty.
bool ReadStringArray(const std::string& bytes, std::vector<std::string>* strings,
                     std::string* error);

} // namespace PropertyList

#endif
