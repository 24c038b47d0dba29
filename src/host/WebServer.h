#ifndef TUMBLIX_HOST_WEBSERVER_H
#define TUMBLIX_HOST_WEBSERVER_H

#include <string>

// The product's web server: its base address is the "WebServer" preference
// (default http://127.0.0.1:8018), read afresh on every call.
namespace WebServer {

// The base address without a trailing "/"; empty, with the reason in
// *problem (when given), when the preference is not an http or https
// address.
std::string Base(std::string* problem);

// The web page (base + "/mac/tumblix/") and the list of downloadable bottle
// types (base + "/mac/zips/tumblix/bottleTypes.plist"); empty as Base is.
std::string WebPageAddress(std::string* problem);
std::string BottleListAddress(std::string* problem);

// Whether an address is an http or https one with a host part and no blanks
// or control characters.
bool IsWebAddress(const std::string& address);

} // namespace WebServer

#endif
