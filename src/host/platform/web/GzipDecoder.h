#ifndef TUMBLIX_HOST_PLATFORM_WEB_GZIPDECODER_H
#define TUMBLIX_HOST_PLATFORM_WEB_GZIPDECODER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct z_stream_s;

// Streaming gzip decoding with zlib: compressed bytes go in piece by piece,
// decoded bytes come out through a sink. Several gzip members one after
// another decode as their concatenation, as gunzip does.
class GzipDecoder {
  public:
    // Receives decoded bytes; returns false to stop (its reason is its own).
    using Sink = std::function<bool(const char* data, size_t length)>;

    // At most maxOutput decoded bytes are accepted in all.
    GzipDecoder(Sink sink, uint64_t maxOutput);
    ~GzipDecoder();
    GzipDecoder(const GzipDecoder&) = delete;
    GzipDecoder& operator=(const GzipDecoder&) = delete;

    // False, with error() saying why, on damaged data, too much output, or a
    // sink that stopped. Nothing more is accepted after a false result.
    bool Write(const char* data, size_t length);
    // False when the data ended inside a member (or no data came at all).
    bool Finish();

    const std::string& error() const { return lastError; }
    uint64_t decodedBytes() const { return decoded; }

  private:
    bool Fail(const std::string& why);

    Sink sink;
    uint64_t maxOutput;
    z_stream_s* stream = nullptr;
    bool inMember = false; // a member has begun and not yet ended
    bool anyMember = false;
    bool failed = false;
    uint64_t decoded = 0;
    std::string lastError;
};

#endif
