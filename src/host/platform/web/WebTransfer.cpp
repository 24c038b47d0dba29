#include "host/platform/web/WebTransfer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <curl/curl.h>

namespace {

void InitCurl() {
    static const bool done = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)done;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trimmed(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) {
        a++;
    }
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) {
        b--;
    }
    return text.substr(a, b - a);
}

std::string PercentDecoded(CURL* easy, const std::string& text) {
    int length = 0;
    char* decoded = curl_easy_unescape(easy, text.c_str(), int(text.size()), &length);
    if (decoded == nullptr) {
        return "";
    }
    std::string result(decoded, size_t(length));
    curl_free(decoded);
    return result;
}

// The file name a Content-Disposition header suggests: filename* (RFC 5987,
// charset'language'percent-encoded) before filename (a token or a quoted
// string). Empty when it names none.
std::string DispositionFilename(CURL* easy, const std::string& header) {
    std::string plain, extended;
    size_t i = header.find(';');
    while (i != std::string::npos && i < header.size()) {
        i++;
        const size_t eq = header.find('=', i);
        if (eq == std::string::npos) {
            break;
        }
        const std::string name = Lower(Trimmed(header.substr(i, eq - i)));
        size_t j = eq + 1;
        while (j < header.size() && (header[j] == ' ' || header[j] == '\t')) {
            j++;
        }
        std::string value;
        if (j < header.size() && header[j] == '"') {
            for (j++; j < header.size() && header[j] != '"'; j++) {
                if (header[j] == '\\' && j + 1 < header.size()) {
                    j++;
                }
                value += header[j];
            }
            i = header.find(';', j);
        } else {
            i = header.find(';', j);
            value = Trimmed(header.substr(j, i == std::string::npos ? std::string::npos : i - j));
        }
        if (name == "filename") {
            plain = value;
        } else if (name == "filename*") {
            const size_t quote = value.find('\'');
            const size_t second = quote == std::string::npos ? quote : value.find('\'', quote + 1);
            if (second != std::string::npos) {
                extended = PercentDecoded(easy, value.substr(second + 1));
            }
        }
    }
    return !extended.empty() ? extended : plain;
}

// The last segment of an address's path, percent-decoded.
std::string LastPathSegment(CURL* easy, const std::string& address) {
    std::string path = address;
    const size_t scheme = path.find("://");
    if (scheme != std::string::npos) {
        const size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "" : path.substr(slash);
    }
    const size_t end = path.find_first_of("?#");
    if (end != std::string::npos) {
        path.resize(end);
    }
    const size_t last = path.rfind('/');
    return PercentDecoded(easy, last == std::string::npos ? path : path.substr(last + 1));
}

// The options every access shares.
void CommonOptions(CURL* easy, const std::string& address, const WebLimits& limits,
                   char* errorText) {
    curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "tumblix");
}

std::string Description(int code, const char* errorText) {
    if (code == CURLE_UNSUPPORTED_PROTOCOL) {
        return "the server redirected to an address that is not http or https (" +
               std::string(errorText[0] != '\0' ? errorText : curl_easy_strerror(CURLcode(code))) +
               ")";
    }
    return errorText[0] != '\0' ? errorText : curl_easy_strerror(CURLcode(code));
}

} // namespace

std::string ByteSizeText(uint64_t bytes) {
    const uint64_t mb = 1024 * 1024;
    return bytes >= mb && bytes % mb == 0 ? std::to_string(bytes / mb) + " MB"
                                          : std::to_string(bytes) + " bytes";
}

WebTransfer::WebTransfer() = default;

WebTransfer::~WebTransfer() {
    Release();
}

void WebTransfer::Release() {
    if (multi != nullptr && easy != nullptr) {
        curl_multi_remove_handle(static_cast<CURLM*>(multi), static_cast<CURL*>(easy));
    }
    if (easy != nullptr) {
        curl_easy_cleanup(static_cast<CURL*>(easy));
        easy = nullptr;
    }
    if (multi != nullptr) {
        curl_multi_cleanup(static_cast<CURLM*>(multi));
        multi = nullptr;
    }
    running = false;
}

bool WebTransfer::Start(const std::string& address, const WebLimits& bounds, Handlers handlers,
                        std::string* error) {
    InitCurl();
    Release();
    url = address;
    on = std::move(handlers);
    limits = bounds;
    responded = false;
    received = 0;
    stopReason.clear();
    failureKind = FetchFailure::NoAnswer;
    errorText[0] = '\0';
    static_assert(sizeof errorText >= CURL_ERROR_SIZE, "curl's error buffer size");

    CURL* e = curl_easy_init();
    CURLM* m = curl_multi_init();
    easy = e;
    multi = m;
    if (e == nullptr || m == nullptr) {
        Release();
        *error = "libcurl could not be set up";
        return false;
    }
    CommonOptions(e, address, limits, errorText);
    curl_easy_setopt(e, CURLOPT_TIMEOUT, limits.downloadSeconds);
    // An announced length over the limit stops the transfer with the headers.
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxFileBytes));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(m, e) != CURLM_OK) {
        Release();
        *error = "libcurl could not start the download";
        return false;
    }
    running = true;
    return true;
}

bool WebTransfer::BeginResponse() {
    CURL* e = static_cast<CURL*>(easy);
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status >= 300) {
        stopReason = "the server answered with status " + std::to_string(status);
        failureKind = FetchFailure::HttpStatus;
        return false;
    }
    Response response;
    curl_off_t length = -1;
    if (curl_easy_getinfo(e, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length >= 0) {
        response.expectedLength = int64_t(length);
    }
    if (response.expectedLength > 0 && uint64_t(response.expectedLength) > limits.maxFileBytes) {
        stopReason = "the file is larger than " + ByteSizeText(limits.maxFileBytes);
        failureKind = FetchFailure::TooLarge;
        return false;
    }
    const char* type = nullptr;
    if (curl_easy_getinfo(e, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
        std::string mime = type;
        mime.resize(std::min(mime.size(), mime.find(';')));
        response.mimeType = Lower(Trimmed(mime));
    }
#if LIBCURL_VERSION_NUM >= 0x075400
    curl_header* header = nullptr;
    if (curl_easy_header(e, "Content-Disposition", 0, CURLH_HEADER, -1, &header) == CURLHE_OK &&
        header != nullptr && header->value != nullptr) {
        response.suggestedFilename = DispositionFilename(e, header->value);
    }
#endif
    char* effective = nullptr;
    curl_easy_getinfo(e, CURLINFO_EFFECTIVE_URL, &effective);
    response.addressFilename = LastPathSegment(e, effective != nullptr ? effective : url);
    if (response.suggestedFilename.empty()) {
        response.suggestedFilename = response.addressFilename;
    }
    responded = true;
    if (on.response) {
        stopReason = on.response(response);
        failureKind = FetchFailure::Refused;
    }
    return stopReason.empty();
}

size_t WebTransfer::OnData(char* data, size_t size, size_t count, void* self) {
    auto* t = static_cast<WebTransfer*>(self);
    const size_t n = size * count;
    if (!t->responded && !t->BeginResponse()) {
        return 0;
    }
    if (n > t->limits.maxFileBytes - t->received) {
        t->stopReason = "the file is larger than " + ByteSizeText(t->limits.maxFileBytes);
        t->failureKind = FetchFailure::TooLarge;
        return 0;
    }
    t->received += n;
    if (t->on.data) {
        t->stopReason = t->on.data(data, n);
        t->failureKind = FetchFailure::Refused;
    }
    return t->stopReason.empty() ? n : 0;
}

void WebTransfer::Step() {
    if (!running) {
        return;
    }
    int active = 0;
    curl_multi_perform(static_cast<CURLM*>(multi), &active);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(static_cast<CURLM*>(multi), &queued)) {
        if (message->msg == CURLMSG_DONE) {
            Complete(int(message->data.result));
            return; // Complete's handlers may have destroyed the transfer
        }
    }
}

void WebTransfer::Complete(int code) {
    running = false;
    // An empty body never reaches OnData: the response still comes first.
    if (code == CURLE_OK && !responded && !BeginResponse()) {
        code = CURLE_WRITE_ERROR;
    }
    std::string description;
    if (code != CURLE_OK) {
        if (!stopReason.empty()) {
            description = stopReason;
        } else if (code == CURLE_FILESIZE_EXCEEDED) {
            description = "the file is larger than " + ByteSizeText(limits.maxFileBytes);
            failureKind = FetchFailure::TooLarge;
        } else if (code == CURLE_HTTP_RETURNED_ERROR) {
            long status = 0;
            curl_easy_getinfo(static_cast<CURL*>(easy), CURLINFO_RESPONSE_CODE, &status);
            description = "the server answered with status " + std::to_string(status);
            failureKind = FetchFailure::HttpStatus;
        } else {
            description = Description(code, errorText);
            failureKind = code == CURLE_OPERATION_TIMEDOUT     ? FetchFailure::TimedOut
                          : code == CURLE_UNSUPPORTED_PROTOCOL ? FetchFailure::NotWeb
                                                               : FetchFailure::NoAnswer;
        }
    }
    Release();
    // Copies: the handler may destroy this transfer.
    if (code == CURLE_OK) {
        const std::function<void()> finish = on.finish;
        if (finish) {
            finish();
        }
    } else {
        const auto fail = on.fail;
        const std::string address = url;
        if (fail) {
            fail(description, address);
        }
    }
}

int WebTransfer::TimeoutHint() const {
    if (!running) {
        return 10;
    }
    long ms = -1;
    curl_multi_timeout(static_cast<CURLM*>(multi), &ms);
    return ms < 0 || ms > 10 ? 10 : int(ms);
}

void WebTransfer::Wait(int maxMilliseconds) {
    if (running) {
        curl_multi_poll(static_cast<CURLM*>(multi), nullptr, 0, maxMilliseconds, nullptr);
    }
}

void WebTransfer::Cancel() {
    Release();
}
