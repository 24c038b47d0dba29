#ifndef TUMBLIX_HOST_PLATFORM_PROPERTYLIST_H
#define TUMBLIX_HOST_PLATFORM_PROPERTYLIST_H

#include <string>
#include <vector>

// Property lists, XML or binary, read with libplist.
namespace PropertyList {

// The strings of a property list whose root is an array of strings, in
// order. False, with the reason in *error, when the bytes are not a property
// list or its root is anything else (an array holding anything but strings
// included); *strings is then left empty.
bool ReadStringArray(const std::string& bytes, std::vector<std::string>* strings,
                     std::string* error);

} // namespace PropertyList

#endif
