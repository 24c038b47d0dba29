#ifndef TUMBLIX_BREWLIB_BYTEWRITER_H
#define TUMBLIX_BREWLIB_BYTEWRITER_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace brew {

using Bytes = std::vector<uint8_t>;

// Appends little-endian values to a byte buffer.
class ByteWriter {
  public:
    explicit ByteWriter(Bytes& out) : bytes(out) {}

    void U8(uint8_t v) { bytes.push_back(v); }
    void I8(int8_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint16_t v) {
        U8(v & 0xff);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xffff);
        U16(v >> 16);
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        U32(u);
    }
    // A fixed-size text field: the text cut to fit, the rest filled with NULs.
    void Text(const std::string& text, size_t size) {
        for (size_t i = 0; i < size; i++) {
            U8(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
        }
    }
    void Raw(const void* data, size_t size) {
        if (size == 0) {
            return;
        }
        const size_t at = bytes.size();
        bytes.resize(at + size);
        std::memcpy(bytes.data() + at, data, size);
    }
    void Put32At(size_t offset, uint32_t v) {
        for (int i = 0; i < 4; i++) {
            bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    size_t Size() const { return bytes.size(); }

  private:
    Bytes& bytes;
};

} // namespace brew

#endif
