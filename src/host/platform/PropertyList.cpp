#include "host/platform/PropertyList.h"

#include <cstdint>
#include <memory>
#include <plist/plist.h>

namespace {

struct FreePlist {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};

} // namespace

namespace PropertyList {

bool ReadStringArray(const std::string& bytes, std::vector<std::string>* strings,
                     std::string* error) {
    strings->clear();
    // libplist takes 32-bit lengths.
    if (bytes.size() > UINT32_MAX) {
        *error = "the property list is too large";
        return false;
    }
    if (bytes.empty()) {
        *error = "it is empty";
        return false;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.data(), uint32_t(bytes.size()), &parsed);
    const std::unique_ptr<void, FreePlist> root(parsed);
    if (parsed == nullptr) {
        *error = "it is not a property list";
        return false;
    }
    if (plist_get_node_type(parsed) != PLIST_ARRAY) {
        *error = "its root is not an array";
        return false;
    }
    const uint32_t count = plist_array_get_size(parsed);
    strings->reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        plist_t item = plist_array_get_item(parsed, i);
        if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) {
            strings->clear();
            *error = "entry " + std::to_string(i + 1) + " of its array is not a string";
            return false;
        }
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(item, &length);
        strings->emplace_back(text != nullptr ? std::string(text, size_t(length)) : std::string());
    }
    return true;
}

} // namespace PropertyList
