#include "host/DownloadList.h"

#include "host/platform/files/PropertyList.h"

#include <cstring>

namespace DownloadList {

void CopyCut(char* field, size_t size, const std::string& text) {
    size_t n = std::min(strnlen(text.c_str(), text.size()), size - 1);
    // A cut before a continuation byte splits a character: back off to its
    // lead byte (a character has at most three continuation bytes).
    if (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        size_t lead = n;
        while (lead > 0 && n - lead < 3 &&
               (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
            lead--;
        }
        if ((static_cast<unsigned char>(text[lead]) & 0xC0) == 0xC0) {
            n = lead;
        }
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

bool Parse(const std::string& text, const std::function<bool(const char*)>& present, Result* result,
           std::string* error) {
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
        const std::string address = line.substr(
            first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        if (address.empty()) {
            result->skipped++;
            continue;
        }
        DOWNLOADDATA entry;
        CopyCut(entry.typeName, sizeof entry.typeName, line.substr(0, first));
        CopyCut(entry.url, sizeof entry.url, address);
        if (entry.url[0] == '\0') {
            result->skipped++; // nothing but a NUL or a broken character
            continue;
        }
        if (present && present(entry.typeName)) {
            continue;
        }
        result->entries.push_back(entry);
    }
    return true;
}

} // namespace DownloadList
