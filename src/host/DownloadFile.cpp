#include "host/DownloadFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsPlainName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == ".." || name[0] == '.') {
        return false;
    }
    for (char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::string WithBrew(const std::string& name) {
    if (EndsWith(name, ".brew")) {
        return name;
    }
    // Room for the extension within the longest file name.
    return name.substr(0, 255 - 5) + ".brew";
}

// Creates every missing folder of a path.
bool MakeFolders(const std::string& folder, std::string* error) {
    std::string path;
    size_t i = 0;
    while (i <= folder.size()) {
        const size_t slash = folder.find('/', i);
        const size_t end = slash == std::string::npos ? folder.size() : slash;
        path = folder.substr(0, end);
        i = end + 1;
        if (path.empty()) {
            continue;
        }
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                *error = path + " is not a folder";
                return false;
            }
            continue;
        }
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            *error = "cannot create the folder " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

} // namespace

bool EndsWith(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

std::string DownloadFile::SafeName(const std::string& suggested,
                                   const std::string& addressSegment) {
    const size_t slash = suggested.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? suggested : suggested.substr(slash + 1);
    if (IsPlainName(base)) {
        return base;
    }
    if (IsPlainName(addressSegment)) {
        return WithBrew(addressSegment);
    }
    return "download.brew";
}

DownloadFile::~DownloadFile() {
    Discard();
}

bool DownloadFile::Open(const std::string& folder, const std::string& name, std::string* error) {
    Discard();
    if (folder.empty()) {
        *error = "no bottle folder is set";
        return false;
    }
    if (!IsPlainName(name)) {
        *error = "\"" + name + "\" is not a plain file name";
        return false;
    }
    if (!MakeFolders(folder, error)) {
        return false;
    }
    folderPath = folder;
    if (folderPath.back() != '/') {
        folderPath += '/';
    }
    destinationPath = folderPath + name;
    // Hidden and without the extension: the catalogue never lists it.
    std::string pattern = folderPath + ".download-XXXXXX";
    fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        *error = "cannot create a file in " + folderPath + ": " + std::strerror(errno);
        destinationPath.clear();
        return false;
    }
    tempPath = pattern;
    fchmod(fd, 0644);
    return true;
}

bool DownloadFile::Write(const char* data, size_t length, std::string* error) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *error = "cannot write " + tempPath + ": " + std::strerror(errno);
            return false;
        }
        data += n;
        length -= size_t(n);
    }
    return true;
}

bool DownloadFile::Commit(std::string* error) {
    if (fd < 0) {
        *error = "no file is being written";
        return false;
    }
    if (fsync(fd) != 0) {
        *error = "cannot write " + tempPath + " to the disk: " + std::strerror(errno);
        return false;
    }
    const int closing = fd;
    fd = -1;
    if (close(closing) != 0) {
        *error = "cannot write " + tempPath + ": " + std::strerror(errno);
        unlink(tempPath.c_str());
        tempPath.clear();
        return false;
    }
    if (rename(tempPath.c_str(), destinationPath.c_str()) != 0) {
        *error = "cannot save " + destinationPath + ": " + std::strerror(errno);
        unlink(tempPath.c_str());
        tempPath.clear();
        return false;
    }
    tempPath.clear();
    // The rename itself reaches the disk with the folder.
    const int dir = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

void DownloadFile::Discard() {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
    if (!tempPath.empty()) {
        unlink(tempPath.c_str());
        tempPath.clear();
    }
}
