#include "host/DownloadList.h"

#include "host/platform/PropertyList.h"

#include <cstring>

namespace DownloadList {

void CopyCut(char* field, size_t size, const std::string& text) {
    size_t n = std::min(strnlen(text.c_str(), text.size()), size - 1);
    if (n < text.size()) {
        // Back off a character the cut would split: continuation bytes, then
        // the lead byte they belong to.
        size_t start = n;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            start--;
        }
        if (start < n || (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            n = start;
        }
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

bool Parse(const std::string& text, const std::function<bool(const char*)>& present,
           Result* result, std::string* error) {
    *result = Result();
    std::vector<std::string> strings;
    if (!PropertyList::ReadStringArray(text, &strings, error)) {
        return false;
    }
    result->listed = strings.size();
    if (strings.size() > kMaxEntries) {
        strings.resize(kMaxEntries);
        result->truncated = true;
    }
    for (const std::string& line : strings) {
        const size_t first = line.find(';');
        if (first == std::string::npos) {
            result->skipped++;
            continue;
        }
        const size_t second = line.find(';', first + 1);
        const std::string address =
            line.substr(first + 1, second == std::string::npos ? std::string::npos
                                                               : second - first - 1);
        if (address.empty()) {
            result->skipped++;
            continue;
        }
        DOWNLOADDATA entry;
        CopyCut(entry.typeName, sizeof entry.typeName, line.substr(0, first));
        CopyCut(entry.url, sizeof entry.url, address);
        if (present && present(entry.typeName)) {
            continue;
        }
        result->entries.push_back(entry);
    }
    return true;
}

} // namespace DownloadList
