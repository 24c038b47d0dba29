#include "host/platform/files/PropertyList.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <plist/plist.h>

namespace {

struct FreePlist {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};

// libplist builds, walks and frees its trees recursively, so a list nested
// a few hundred thousand deep runs the stack out, and a binary list whose
// containers share their children expands into an exponential tree. Lists
// are therefore scanned before they are handed over.

bool Refuse(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

std::string TooManyEntries() {
    return "it holds more than " + std::to_string(PropertyList::kMaxElements) + " entries";
}

std::string TooDeep() {
    return "it nests deeper than " + std::to_string(PropertyList::kMaxDepth) + " levels";
}

// XML: the depth of the element tree and the number of elements, skipping
// comments, CDATA sections, processing instructions and declarations.
bool ScanXml(const std::string& bytes, std::string* error) {
    size_t depth = 0, elements = 0, i = 0;
    const size_t n = bytes.size();
    const auto skipPast = [&](size_t from, const char* end) {
        const size_t at = bytes.find(end, from);
        return at == std::string::npos ? n : at + std::strlen(end);
    };
    while ((i = bytes.find('<', i)) != std::string::npos) {
        if (bytes.compare(i, 4, "<!--") == 0) {
            i = skipPast(i + 4, "-->");
        } else if (bytes.compare(i, 9, "<![CDATA[") == 0) {
            i = skipPast(i + 9, "]]>");
        } else if (bytes.compare(i, 2, "<?") == 0) {
            i = skipPast(i + 2, "?>");
        } else if (bytes.compare(i, 2, "<!") == 0) {
            i = skipPast(i + 2, ">");
        } else if (bytes.compare(i, 2, "</") == 0) {
            depth -= depth > 0 ? 1 : 0;
            i = skipPast(i + 2, ">");
        } else {
            // An opening tag; attribute values may hold ">".
            char quote = 0;
            size_t j = i + 1;
            for (; j < n; j++) {
                const char c = bytes[j];
                if (quote != 0) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (++elements > PropertyList::kMaxElements) {
                return Refuse(error, TooManyEntries());
            }
            if (j < n && bytes[j - 1] != '/' && ++depth > PropertyList::kMaxDepth) {
                return Refuse(error, TooDeep());
            }
            i = j < n ? j + 1 : n;
        }
    }
    return true;
}

uint64_t BigEndian(const std::string& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t k = 0; k < size; k++) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    }
    return value;
}

// Binary: a list of bottle types needs one container, its root. Every object
// is looked at through the offset table of the trailer; a list with more
// objects than the bound, or with a container besides its root, is refused.
bool ScanBinary(const std::string& bytes, std::string* error) {
    const size_t header = 8, trailer = 32;
    if (bytes.size() < header + 1 + trailer) {
        return Refuse(error, "it is not a property list");
    }
    const size_t t = bytes.size() - trailer;
    const size_t offsetSize = static_cast<unsigned char>(bytes[t + 6]);
    const uint64_t objects = BigEndian(bytes, t + 8, 8);
    const uint64_t top = BigEndian(bytes, t + 16, 8);
    const uint64_t table = BigEndian(bytes, t + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || objects == 0 || top >= objects || table >= t ||
        objects > (t - table) / offsetSize) {
        return Refuse(error, "it is not a property list");
    }
    if (objects > PropertyList::kMaxElements) {
        return Refuse(error, TooManyEntries());
    }
    // The root's references count too: they may all name one string.
    const uint64_t root = BigEndian(bytes, size_t(table + top * offsetSize), offsetSize);
    if (root < header || root >= t) {
        return Refuse(error, "it is not a property list");
    }
    const unsigned kind = static_cast<unsigned char>(bytes[size_t(root)]) >> 4;
    if (kind == 0xA || kind == 0xC || kind == 0xD) {
        uint64_t entries = static_cast<unsigned char>(bytes[size_t(root)]) & 0xF;
        if (entries == 0xF) {
            // The count follows as an integer object of 1, 2, 4 or 8 bytes.
            const unsigned char marker =
                root + 1 < t ? static_cast<unsigned char>(bytes[size_t(root + 1)]) : 0;
            const size_t size = size_t(1) << (marker & 0xF);
            entries = (marker >> 4) == 1 && size <= 8 && root + 2 + size <= t
                          ? BigEndian(bytes, size_t(root + 2), size)
                          : uint64_t(PropertyList::kMaxElements) + 1;
        }
        if (entries > PropertyList::kMaxElements) {
            return Refuse(error, TooManyEntries());
        }
    }
    for (uint64_t k = 0; k < objects; k++) {
        const uint64_t offset = BigEndian(bytes, size_t(table + k * offsetSize), offsetSize);
        if (offset < header || offset >= t) {
            return Refuse(error, "it is not a property list");
        }
        const unsigned kind = static_cast<unsigned char>(bytes[size_t(offset)]) >> 4;
        const bool container = kind == 0xA || kind == 0xB || kind == 0xC || kind == 0xD;
        if (container && k != top) {
            return Refuse(error, "it holds containers inside its root");
        }
    }
    return true;
}

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
    const bool binary = bytes.size() >= 8 && bytes.compare(0, 8, "bplist00") == 0;
    if (!(binary ? ScanBinary(bytes, error) : ScanXml(bytes, error))) {
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
