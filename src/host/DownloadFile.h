#ifndef TUMBLIX_HOST_DOWNLOADFILE_H
#define TUMBLIX_HOST_DOWNLOADFILE_H

#include <cstddef>
#include <string>

// Whether a file name ends with tail (an extension such as ".brew").
bool EndsWith(const std::string& text, const char* tail);

// A downloaded file on its way into a folder: written to a temporary file
// beside its destination and renamed over it only once complete and on the
// disk, so a download that fails or is stopped never damages or removes a
// file that was there.
class DownloadFile {
  public:
    DownloadFile() = default;
    // A file neither committed nor discarded is discarded.
    ~DownloadFile();
    DownloadFile(const DownloadFile&) = delete;
    DownloadFile& operator=(const DownloadFile&) = delete;

    // The name a download is saved under: the suggested name's last
    // component (after any "/" or "\") when that is a plain file name (not
    // empty, "." or "..", not hidden, no control characters, at most 255
    // bytes); otherwise the last segment of
    // the address's path, when that is one; otherwise "download". A name
    // taken from the address, or the fallback, gets ".brew" when it lacks
    // it.
    static std::string SafeName(const std::string& suggested, const std::string& addressSegment);

    // Creates the folder when missing and the temporary file in it. False,
    // with the reason, when either cannot be made.
    bool Open(const std::string& folder, const std::string& name, std::string* error);
    bool Write(const char* data, size_t length, std::string* error);
    // Flushes the file to the disk and renames it over the destination.
    bool Commit(std::string* error);
    // Removes the temporary file; the destination is left as it was.
    void Discard();

    bool IsOpen() const { return fd >= 0; }
    const std::string& destination() const { return destinationPath; }
    const std::string& temporaryPath() const { return tempPath; }

  private:
    int fd = -1;
    std::string folderPath;
    std::string destinationPath;
    std::string tempPath;
};

#endif
