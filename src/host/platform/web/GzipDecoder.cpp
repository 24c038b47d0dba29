#include "host/platform/web/GzipDecoder.h"

#include "host/platform/web/WebTransfer.h"

#include <zlib.h>

GzipDecoder::GzipDecoder(Sink s, uint64_t limit) : sink(std::move(s)), maxOutput(limit) {
    stream = new z_stream{};
    // 16 + the window bits: gzip framing only, no raw or zlib streams.
    if (inflateInit2(stream, 16 + MAX_WBITS) != Z_OK) {
        delete stream;
        stream = nullptr;
        Fail("zlib could not be set up");
    }
}

GzipDecoder::~GzipDecoder() {
    if (stream != nullptr) {
        inflateEnd(stream);
        delete stream;
    }
}

bool GzipDecoder::Fail(const std::string& why) {
    if (!failed) {
        failed = true;
        lastError = why;
    }
    return false;
}

bool GzipDecoder::Write(const char* data, size_t length) {
    if (failed) {
        return false;
    }
    unsigned char out[16384];
    while (length > 0) {
        // zlib counts in unsigned int.
        const size_t piece = length < (1u << 30) ? length : (1u << 30);
        stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        stream->avail_in = uInt(piece);
        data += piece;
        length -= piece;
        for (;;) {
            if (!inMember) {
                if (stream->avail_in == 0) {
                    break;
                }
                if (inflateReset(stream) != Z_OK) {
                    return Fail("zlib could not start the next gzip member");
                }
                inMember = true;
                anyMember = true;
            }
            stream->next_out = out;
            stream->avail_out = sizeof out;
            const int result = inflate(stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
                return Fail(std::string("the gzip data is damaged (") +
                            (stream->msg != nullptr ? stream->msg : "zlib error") + ")");
            }
            const size_t produced = sizeof out - stream->avail_out;
            if (produced > maxOutput - decoded) {
                return Fail("the decoded file is larger than " + ByteSizeText(maxOutput));
            }
            decoded += produced;
            if (produced > 0 && !sink(reinterpret_cast<const char*>(out), produced)) {
                return Fail("the decoded data could not be kept");
            }
            if (result == Z_STREAM_END) {
                inMember = false;
                continue;
            }
            // A full buffer may leave output inside zlib: go round again.
            if ((stream->avail_in == 0 && stream->avail_out != 0) ||
                (result == Z_BUF_ERROR && produced == 0)) {
                break;
            }
        }
    }
    return true;
}

bool GzipDecoder::Finish() {
    if (failed) {
        return false;
    }
    // Output still held back inside zlib comes out with the input it needs:
    // a member that has not ended is a file cut short.
    if (inMember || !anyMember) {
        return Fail(anyMember ? "the gzip data ends early" : "there is no gzip data");
    }
    return true;
}
