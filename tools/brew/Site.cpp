// tumblix-brew site DIR FILE.brew... --base URL: a static bottle-type site.
// DIR/mac/zips/tumblix/ receives the bottle types and bottleTypes.plist, the
// list the saver's download button reads: an array of "display name;address"
// strings. Any static HTTP server that serves DIR at URL then offers them.

#include "Commands.h"

#include "assets/DataFile.h"
#include "brewlib/ContainerWriter.h"

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace {

// What the saver keeps of a list entry: names of up to 39 bytes, addresses
// of up to 511; it cuts longer ones, and a cut name never matches the type
// once it is installed, so the site refuses them instead.
constexpr size_t kMaxListedName = 39;
constexpr size_t kMaxListedAddress = 511;
const char* const kSiteFolder = "mac/zips/tumblix";
const char* const kListName = "bottleTypes.plist";

struct Entry {
    std::string source;   // the file given on the command line
    std::string fileName; // its name on the site
    std::string name;     // the display name from its header
    std::string address;
};

int Usage(FILE* to, int status) {
    std::fputs("Usage: tumblix-brew site DIR FILE.brew... --base URL\n"
               "Copies the bottle types into DIR/mac/zips/tumblix/ and writes the list\n"
               "DIR/mac/zips/tumblix/bottleTypes.plist that the saver downloads from.\n"
               "URL is where DIR will be served, for example http://127.0.0.1:8018;\n"
               "set the saver's WebServer preference to the same address.\n",
               to);
    return status;
}

// The file name as it stands in an address: everything but the unreserved
// characters of RFC 3986 percent-encoded.
std::string EncodePathPart(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool StartsWith(const std::string& text, const char* start) {
    return text.compare(0, std::strlen(start), start) == 0;
}

// Checks every file before anything is written, so a refused run leaves the
// site as it was.
bool Describe(const std::string& source, const std::string& base, Entry* entry, std::string* why) {
    DATAFILE file;
    if (!file.Open(source.c_str())) {
        *why = "is not a bottle type that opens (tumblix-brew inspect says why)";
        return false;
    }
    entry->source = source;
    entry->fileName = std::filesystem::path(source).filename().string();
    entry->name.assign(file.header.name, strnlen(file.header.name, sizeof file.header.name));
    file.Close();
    if (entry->name.empty()) {
        *why = "has no display name";
        return false;
    }
    if (entry->name.find(';') != std::string::npos) {
        *why = "has a \";\" in its display name \"" + entry->name +
               "\", which the list uses between name and address";
        return false;
    }
    if (entry->name.size() > kMaxListedName) {
        *why = "has a display name of " + std::to_string(entry->name.size()) +
               " bytes; the saver's list keeps " + std::to_string(kMaxListedName);
        return false;
    }
    entry->address = base + "/" + kSiteFolder + "/" + EncodePathPart(entry->fileName);
    if (entry->address.size() > kMaxListedAddress) {
        *why = "would have an address of " + std::to_string(entry->address.size()) +
               " bytes; the saver's list keeps " + std::to_string(kMaxListedAddress);
        return false;
    }
    return true;
}

bool WriteList(const std::vector<Entry>& entries, const std::string& path, std::string* error) {
    plist_t root = plist_new_array();
    for (const Entry& e : entries) {
        plist_array_append_item(root, plist_new_string((e.name + ";" + e.address).c_str()));
    }
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    plist_free(root);
    if (xml == nullptr) {
        *error = "cannot encode the list";
        return false;
    }
    const brew::Bytes bytes(xml, xml + length);
    plist_to_xml_free(xml);
    return brew::WriteFileBytes(path, bytes, error);
}

} // namespace

int SiteCommand(int argc, char** argv) {
    std::string dir, base;
    std::vector<std::string> sources;
    for (int i = 0; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            return Usage(stdout, EXIT_DONE);
        } else if (arg == "--base") {
            if (++i == argc) {
                return Usage(stderr, EXIT_USAGE);
            }
            base = argv[i];
        } else if (StartsWith(arg, "--base=")) {
            base = arg.substr(7);
        } else if (dir.empty()) {
            dir = arg;
        } else {
            sources.push_back(arg);
        }
    }
    if (dir.empty() || sources.empty() || base.empty()) {
        return Usage(stderr, EXIT_USAGE);
    }
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    if (!(StartsWith(base, "http://") || StartsWith(base, "https://")) ||
        base.find(';') != std::string::npos || base.find_first_of(" \t\r\n") != std::string::npos) {
        std::fprintf(stderr,
                     "tumblix-brew: --base must be an http:// or https:// address without "
                     "spaces or \";\", not '%s'\n",
                     base.c_str());
        return EXIT_USAGE;
    }

    std::vector<Entry> entries;
    std::set<std::string> names, fileNames;
    bool refused = false;
    for (const std::string& source : sources) {
        Entry entry;
        std::string why;
        if (!Describe(source, base, &entry, &why)) {
            std::fprintf(stderr, "tumblix-brew: %s %s\n", source.c_str(), why.c_str());
            refused = true;
        } else if (entry.fileName == kListName || !fileNames.insert(entry.fileName).second) {
            std::fprintf(stderr,
                         "tumblix-brew: %s: another file is already called %s on the site\n",
                         source.c_str(), entry.fileName.c_str());
            refused = true;
        } else if (!names.insert(entry.name).second) {
            std::fprintf(stderr, "tumblix-brew: %s: another file already offers the type \"%s\"\n",
                         source.c_str(), entry.name.c_str());
            refused = true;
        } else {
            entries.push_back(entry);
        }
    }
    if (refused) {
        std::fputs("tumblix-brew: nothing written\n", stderr);
        return EXIT_FAILED;
    }

    const std::filesystem::path folder = std::filesystem::path(dir) / kSiteFolder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "tumblix-brew: cannot create %s: %s\n", folder.c_str(),
                     ec.message().c_str());
        return EXIT_FAILED;
    }
    // The types first and the list last, so a server that is already running
    // never offers a type whose file is not there yet.
    for (const Entry& e : entries) {
        brew::Bytes bytes;
        std::string error;
        if (!brew::ReadFileBytes(e.source, &bytes, &error) ||
            !brew::WriteFileBytes((folder / e.fileName).string(), bytes, &error)) {
            std::fprintf(stderr, "tumblix-brew: %s\n", error.c_str());
            return EXIT_FAILED;
        }
    }
    std::string error;
    const std::string list = (folder / kListName).string();
    if (!WriteList(entries, list, &error)) {
        std::fprintf(stderr, "tumblix-brew: %s\n", error.c_str());
        return EXIT_FAILED;
    }
    for (const Entry& e : entries) {
        std::printf("%s;%s\n", e.name.c_str(), e.address.c_str());
    }
    std::printf("%s\n", list.c_str());
    return EXIT_DONE;
}
