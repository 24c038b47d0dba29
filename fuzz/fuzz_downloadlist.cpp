// The server's list of bottle types as the sheet reads it: whatever the
// bytes, every entry kept is a terminated name and address within their
// fields, and no more entries come out than strings went in.
#include "FuzzInput.h"
#include "host/DownloadList.h"

#include <cstring>

using fuzzinput::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t asked = 0;
    // Names starting with "x" count as installed, so dropping is fuzzed too.
    const auto present = [&asked](const char* name) {
        asked++;
        Check(strnlen(name, 40) < 40, "the name asked about is terminated");
        return name[0] == 'x';
    };
    DownloadList::Result result;
    std::string error;
    if (!DownloadList::Parse(text, present, &result, &error)) {
        Check(!error.empty(), "a refusal says why");
        Check(result.entries.empty(), "a refused list offers nothing");
        return 0;
    }
    Check(result.entries.size() + result.skipped <= result.listed, "no more entries than strings");
    Check(result.entries.size() <= DownloadList::kMaxEntries, "at most the pop-up's worth");
    Check(result.truncated == (result.listed > DownloadList::kMaxEntries), "truncation reported");
    Check(asked >= result.entries.size(), "every kept entry was looked up");
    for (const DOWNLOADDATA& entry : result.entries) {
        const size_t name = strnlen(entry.typeName, sizeof entry.typeName);
        const size_t url = strnlen(entry.url, sizeof entry.url);
        Check(name < sizeof entry.typeName, "name terminated");
        Check(url > 0 && url < sizeof entry.url, "address present and terminated");
        Check(entry.typeName[0] != 'x', "an installed type is dropped");
        Check(std::strchr(entry.typeName, ';') == nullptr, "the name ends at the first \";\"");
        Check(std::strchr(entry.url, ';') == nullptr, "the address ends at the second \";\"");
    }
    return 0;
}
