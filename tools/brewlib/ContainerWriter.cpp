#include "brewlib/ContainerWriter.h"

#include "brewlib/TgaWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace brew {

namespace {

// Lump bodies follow the header; returns each body's offset.
std::vector<uint32_t> PutBodies(ByteWriter& w, const std::vector<Lump>& lumps) {
    std::vector<uint32_t> offsets;
    for (const Lump& l : lumps) {
        offsets.push_back(uint32_t(w.Size()));
        w.Raw(l.body.data(), l.body.size());
    }
    if (w.Size() > 0xffffffffu) {
        throw std::invalid_argument("container larger than 4 GiB");
    }
    return offsets;
}

} // namespace

Bytes EncodeBottleFile(const BottleHeader& h, const std::vector<Lump>& lumps) {
    Bytes out;
    ByteWriter w(out);
    w.Text(h.name.substr(0, 49), 50);
    w.Raw("TUMB", 4);
    w.U8(h.versionMinor);
    w.U8(h.versionMajor);
    w.U32(h.flags);
    w.U32(uint32_t(lumps.size()));
    w.U32(0); // sizeCheck, below
    w.U32(0); // dirOffset, below
    w.U8(h.tag);
    w.U8(h.alpha);
    w.U16(0);

    const std::vector<uint32_t> offsets = PutBodies(w, lumps);
    const uint32_t dirOffset = uint32_t(w.Size());
    for (size_t i = 0; i < lumps.size(); i++) {
        w.U32(uint32_t(lumps[i].body.size()));
        w.U32(offsets[i]);
        w.U32(lumps[i].type);
        w.U32(lumps[i].alphaMode);
    }
    w.Put32At(64, ~uint32_t(w.Size()));
    w.Put32At(68, dirOffset);
    return out;
}

Lump ImageLump(const Image& image, bool rle, uint32_t alphaMode) {
    return {EncodeTGA(image, rle), LUMP_TGA, alphaMode};
}

Bytes EncodeResourceFile(const std::vector<Lump>& lumps) {
    Bytes out;
    ByteWriter w(out);
    w.Raw("DWKF", 4);
    w.Text("", 8);
    w.U32(uint32_t(lumps.size()));
    w.U32(0); // sizeCheck, below
    w.U32(0); // dirOffset, below

    const std::vector<uint32_t> offsets = PutBodies(w, lumps);
    const uint32_t dirOffset = uint32_t(w.Size());
    for (size_t i = 0; i < lumps.size(); i++) {
        w.U32(uint32_t(lumps[i].body.size()));
        w.U32(offsets[i]);
        w.U32(lumps[i].type);
        w.U32(lumps[i].alphaMode);
        w.Text("", 12);
    }
    w.Put32At(16, ~uint32_t(w.Size()));
    w.Put32At(20, dirOffset);
    return out;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes, std::string* error) {
    const std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr) {
        if (error)
            *error = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (fsync(fileno(f)) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        if (error)
            *error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool ReadFileBytes(const std::string& path, Bytes* bytes, std::string* error) {
    // Only a regular file, checked on the opened descriptor: a FIFO or a
    // device would block or never end.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info;
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        close(fd);
        if (error)
            *error = "cannot read " + path + ": not a regular file";
        return false;
    }
    FILE* f = fd >= 0 ? fdopen(fd, "rb") : nullptr;
    if (f == nullptr) {
        if (error)
            *error = "cannot read " + path + ": " + std::strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    bytes->clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + n);
    }
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    if (!ok && error)
        *error = "cannot read " + path;
    return ok;
}

} // namespace brew
