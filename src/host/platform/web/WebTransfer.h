#ifndef TUMBLIX_HOST_PLATFORM_WEB_WEBTRANSFER_H
#define TUMBLIX_HOST_PLATFORM_WEB_WEBTRANSFER_H

#include <cstdint>
#include <functional>
#include <string>

// The bounds every web access keeps: nothing waits or reads without end.
struct WebLimits {
    long connectSeconds = 5;    // to reach the server
    long textSeconds = 10;      // a whole fetch of a text
    long stallSeconds = 30;     // a download receiving nothing for this long fails
    long downloadSeconds = 600; // a whole download
    uint64_t maxTextBytes = 8u << 20;
    uint64_t maxFileBytes = 64u << 20; // as sent, and again after decoding
};

// A size for messages: "64 MB" for whole megabytes, else "N bytes".
std::string ByteSizeText(uint64_t bytes);

// Why a transfer failed.
enum class FetchFailure {
    NoAnswer,   // no connection, or it broke
    TimedOut,   // the server did not finish answering in time
    TooLarge,   // more than the limit, announced or sent
    HttpStatus, // an answer other than 2xx
    NotWeb,     // a redirect to an address that is not http or https
    Refused,    // a handler stopped it
};

// One transfer (a download, or the list of bottle types) over libcurl's
// multi interface, advanced by Step() from the
// caller's loop: no threads. Only http and https, redirects included.
//
// Handlers are called from inside Step(), in this order: response once,
// data any number of times, then exactly one of finish or fail. finish and
// fail are each the last thing Step() does, so they may destroy the
// transfer. A response or data handler that returns a non-empty text stops
// the download; fail then reports that text.
class WebTransfer {
  public:
    struct Response {
        int64_t expectedLength = -1; // -1 when the server announces none
        std::string mimeType;        // lower case, without parameters; may be empty
        // From Content-Disposition, else addressFilename; untrusted,
        // possibly empty.
        std::string suggestedFilename;
        // The last segment of the (final) address's path, percent-decoded.
        std::string addressFilename;
    };
    struct Handlers {
        std::function<std::string(const Response&)> response;
        std::function<std::string(const char* data, size_t length)> data;
        std::function<void()> finish;
        std::function<void(const std::string& description, const std::string& address)> fail;
    };

    WebTransfer();
    // A transfer still running is stopped without any handler being called.
    ~WebTransfer();
    WebTransfer(const WebTransfer&) = delete;
    WebTransfer& operator=(const WebTransfer&) = delete;

    // False, with the reason, when the download cannot begin (no handler
    // is called then).
    bool Start(const std::string& address, const WebLimits& limits, Handlers handlers,
               std::string* error);
    // Does whatever the network allows without blocking.
    void Step();
    // Milliseconds until Step() should run again, for a caller that does not
    // watch the sockets itself: 0 to 10.
    int TimeoutHint() const;
    // Sleeps until there is network activity or maxMilliseconds pass.
    void Wait(int maxMilliseconds);
    // Stops the download without calling any handler.
    void Cancel();
    bool Running() const { return running; }
    // The kind of the failure fail() reports, valid inside that handler.
    FetchFailure failure() const { return failureKind; }
    const std::string& address() const { return url; }

  private:
    static size_t OnData(char* data, size_t size, size_t count, void* self);
    bool BeginResponse();
    void Complete(int code);
    void Release();

    void* multi = nullptr;
    void* easy = nullptr;
    std::string url;
    Handlers on;
    WebLimits limits;
    bool running = false;
    bool responded = false;
    uint64_t received = 0;
    std::string stopReason;
    FetchFailure failureKind = FetchFailure::NoAnswer;
    char errorText[256] = {};
};

#endif
