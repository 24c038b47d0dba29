#include "host/BottleDownloads.h"

#include "bottles/MainClass.h"
#include "host/BottleFileCheck.h"
#include "host/TumblixView.h"
#include "host/WebServer.h"
#include "host/platform/web/GzipDecoder.h"
#include "scene/SSMain.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

const char* const kNoServer = "Error! Could not connect to the server!";

// printf-style formatting with the numbers written as the user's locale
// writes them (LC_ALL, LC_NUMERIC or LANG from the environment), whatever
// the process's own locale is.
std::string Localized(const char* format, ...) {
    locale_t user = newlocale(LC_NUMERIC_MASK, "", locale_t(0));
    if (user == locale_t(0)) {
        user = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
    }
    const locale_t previous = user != locale_t(0) ? uselocale(user) : locale_t(0);
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) {
        std::vsnprintf(&text[0], text.size() + 1, format, again);
    }
    va_end(again);
    va_end(args);
    if (user != locale_t(0)) {
        uselocale(previous);
        freelocale(user);
    }
    return text;
}

// A description as a sentence: capital first letter, closing full stop.
std::string Sentence(std::string text) {
    if (text.empty()) {
        return "Unknown error.";
    }
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    const char last = text.back();
    if (last != '.' && last != '!' && last != '?') {
        text += '.';
    }
    return text;
}

std::string FailureText(const std::string& description, const std::string& address) {
    return Localized("Download failed! Error - %s %s", Sentence(description).c_str(),
                     address.c_str());
}

// What a decoded gzip file is called: without its ".gz".
std::string WithoutGz(const std::string& name) {
    return EndsWith(name, ".gz") ? name.substr(0, name.size() - 3) : name;
}

} // namespace

DownloadOutlets DownloadOutlets::FromSheet(const SheetOutlets& sheet) {
    DownloadOutlets d;
    d.oAvailableDownloads = sheet.oAvailableDownloads;
    d.oCheckDownloads = sheet.oCheckDownloads;
    d.oProgress = sheet.oProgress;
    d.oDownload = sheet.oDownload;
    d.oDownloadText = sheet.oDownloadText;
    d.oDirectory = sheet.oDirectory;
    d.oSave = sheet.oSave;
    return d;
}

BottleDownloads::BottleDownloads(const DownloadOutlets& outlets) : o(outlets) {}

BottleDownloads::~BottleDownloads() {
    listTransfer.reset();
    transfer.reset();
    decoder.reset();
    file.Discard();
}

void BottleDownloads::UseView(TumblixView& view) {
    bottleManager = [&view]() -> MAINCLASS* {
        return view.ssMain != nullptr ? view.ssMain->bottleManager : nullptr;
    };
    bottleFolder = [&view] { return std::string(view.mySettings.BottlePath2); };
}

bool BottleDownloads::configureSheet_checkdownloads() {
    if (checking()) {
        return true;
    }
    std::string problem;
    const std::string address = WebServer::BottleListAddress(&problem);
    if (address.empty()) {
        o.oDownloadText->setText("Error! " + problem);
        return false;
    }
    // The list keeps the limits of a text: its own size and time bounds.
    WebLimits bounds = limits;
    bounds.maxFileBytes = limits.maxTextBytes;
    bounds.downloadSeconds = limits.textSeconds;
    bounds.stallSeconds = limits.textSeconds;
    listText.clear();
    auto next = std::make_unique<WebTransfer>();
    WebTransfer::Handlers handlers;
    handlers.data = [this](const char* data, size_t length) {
        listText.append(data, length);
        return std::string();
    };
    handlers.finish = [this] {
        listTransfer.reset();
        ListArrived();
    };
    handlers.fail = [this](const std::string& description, const std::string&) {
        const FetchFailure failure = listTransfer->failure();
        listTransfer.reset();
        ListFailed(failure, description);
    };
    std::string error;
    if (!next->Start(address, bounds, std::move(handlers), &error)) {
        o.oDownloadText->setText(kNoServer);
        return false;
    }
    listTransfer = std::move(next);
    if (onStarted) {
        onStarted();
    }
    return true;
}

bool BottleDownloads::CheckDownloadsAndWait() {
    listRead = false;
    if (!configureSheet_checkdownloads()) {
        return false;
    }
    while (checking()) {
        listTransfer->Wait(100);
        Step();
    }
    return listRead;
}

void BottleDownloads::ListFailed(FetchFailure failure, const std::string& description) {
    listRead = false;
    listText.clear();
    switch (failure) {
    case FetchFailure::NoAnswer:
    case FetchFailure::Refused:
        o.oDownloadText->setText(kNoServer);
        break;
    case FetchFailure::TimedOut:
        o.oDownloadText->setText("Error! The server did not send the list of bottle types "
                                 "within " +
                                 std::to_string(limits.textSeconds) + " seconds!");
        break;
    case FetchFailure::TooLarge:
        o.oDownloadText->setText("Error! The list of bottle types is larger than " +
                                 ByteSizeText(limits.maxTextBytes) + "!");
        break;
    case FetchFailure::HttpStatus:
        o.oDownloadText->setText("Error! The server has no list of bottle types (" + description +
                                 ")!");
        break;
    case FetchFailure::NotWeb:
        o.oDownloadText->setText("Error! The server sent the list of bottle types "
                                 "elsewhere: " +
                                 description + "!");
        break;
    }
}

void BottleDownloads::ListArrived() {
    listRead = false;
    const std::string text = std::move(listText);
    listText.clear();
    MAINCLASS* manager = bottleManager ? bottleManager() : nullptr;
    std::function<bool(const char*)> present;
    if (manager != nullptr && manager->types != nullptr && manager->numTypes >= 1) {
        present = [manager](const char* name) { return manager->BottleFileExists(name); };
    }
    DownloadList::Result list;
    std::string error;
    if (!DownloadList::Parse(text, present, &list, &error)) {
        o.oDownloadText->setText(
            "Error! The server's list of bottle types cannot be read: " + error + "!");
        if (onListRefused) {
            onListRefused(error);
        }
        return;
    }

    downloadData = std::move(list.entries);
    numDownloads = uint32_t(downloadData.size());
    o.oAvailableDownloads->removeAllItems();
    for (const DOWNLOADDATA& entry : downloadData) {
        o.oAvailableDownloads->addItemWithTitle(entry.typeName);
    }
    if (numDownloads == 0) {
        o.oAvailableDownloads->addItemWithTitle("None");
        o.oAvailableDownloads->setEnabled(false);
    } else {
        o.oAvailableDownloads->setEnabled(true);
    }
    // As a pop-up filled from empty does, show the first entry.
    o.oAvailableDownloads->selectItemAtIndex(0);
    o.oDownload->setEnabled(numDownloads > 0);
    if (list.truncated) {
        o.oDownloadText->setText("The server lists " + std::to_string(list.listed) +
                                 " bottle types; only the first " +
                                 std::to_string(DownloadList::kMaxEntries) + " were read.");
    }
    listRead = true;
}

bool BottleDownloads::configureSheet_download() {
    if (downloading()) {
        return false;
    }
    const int index = o.oAvailableDownloads->indexOfSelectedItem();
    if (index < 0 || uint32_t(index) >= numDownloads) {
        o.oDownloadText->setText("Choose a bottle type to download first.");
        return false;
    }
    const DOWNLOADDATA& entry = downloadData[size_t(index)];
    const std::string address = entry.url;
    folder = bottleFolder ? bottleFolder() : "";
    if (folder.empty()) {
        o.oDownloadText->setText("Choose a bottle data folder first: downloads are saved there.");
        return false;
    }
    if (!WebServer::IsWebAddress(address)) {
        o.oDownloadText->setText(
            FailureText("only http and https addresses can be downloaded", address));
        return false;
    }

    auto next = std::make_unique<WebTransfer>();
    std::string error;
    if (!next->Start(address, limits, DownloadHandlers(), &error)) {
        o.oDownloadText->setText(FailureText(error, address));
        return false;
    }
    transfer = std::move(next);
    saved = false;

    o.oAvailableDownloads->setEnabled(false);
    o.oDownload->setEnabled(false);
    o.oCheckDownloads->setEnabled(false);
    o.oDirectory->setEnabled(false);
    o.oSave->setEnabled(false);
    o.oProgress->setDoubleValue(0.0);
    o.oProgress->startAnimation();
    o.oDownloadText->setText(std::string("Downloading ") + entry.typeName + ", Please Wait...");
    if (onStarted) {
        onStarted();
    }
    return true;
}

WebTransfer::Handlers BottleDownloads::DownloadHandlers() {
    WebTransfer::Handlers handlers;
    handlers.response = [this](const WebTransfer::Response& response) {
        return ResponseArrived(response);
    };
    handlers.data = [this](const char* data, size_t length) { return DataArrived(data, length); };
    handlers.finish = [this] { Finished(); };
    handlers.fail = [this](const std::string& description, const std::string& failing) {
        download_didFailWithError(description, failing);
    };
    return handlers;
}

// The response: the progress starts over, gzip data is decoded on its way
// to the file (which is then named without ".gz"), and the destination's
// temporary file is opened. A non-empty text stops the download.
std::string BottleDownloads::ResponseArrived(const WebTransfer::Response& response) {
    download_didReceiveResponse(response.expectedLength);
    writeError.clear();
    std::string name = response.suggestedFilename, addressName = response.addressFilename;
    if (download_shouldDecodeSourceDataOfMIMEType(response.mimeType)) {
        name = WithoutGz(name);
        addressName = WithoutGz(addressName);
        StartDecoding();
    }
    return download_decideDestinationWithSuggestedFilename(name, addressName);
}

void BottleDownloads::StartDecoding() {
    decoder = std::make_unique<GzipDecoder>(
        [this](const char* data, size_t length) { return file.Write(data, length, &writeError); },
        limits.maxFileBytes);
}

void BottleDownloads::download_didReceiveResponse(int64_t expectedContentLength) {
    bytesReceived = 0;
    expectedBytes = expectedContentLength;
}

void BottleDownloads::download_didReceiveDataOfLength(uint32_t length) {
    bytesReceived += length;
    if (expectedBytes < 1) {
        o.oDownloadText->setText(
            Localized("Downloading, Please Wait: %" PRId64 " bytes received\n", bytesReceived));
    } else {
        const float percent = float(bytesReceived) / float(expectedBytes) * 100.0f;
        o.oProgress->setDoubleValue(percent);
        o.oDownloadText->setText(
            Localized("Downloading, Please Wait: %2.2f%% Complete\n", double(percent)));
    }
}

std::string
BottleDownloads::download_decideDestinationWithSuggestedFilename(const std::string& filename,
                                                                 const std::string& addressName) {
    std::string error;
    if (!file.Open(folder, DownloadFile::SafeName(filename, addressName), &error)) {
        return error;
    }
    return "";
}

bool BottleDownloads::download_shouldDecodeSourceDataOfMIMEType(const std::string& mimeType) {
    if (mimeType == "application/macbinary" || mimeType == "application/binhex") {
        return false;
    }
    return mimeType == "application/gzip";
}

std::string BottleDownloads::DataArrived(const char* data, size_t length) {
    if (decoder != nullptr) {
        if (!decoder->Write(data, length)) {
            return !writeError.empty() ? writeError : decoder->error();
        }
    } else {
        std::string error;
        if (!file.Write(data, length, &error)) {
            return error;
        }
    }
    download_didReceiveDataOfLength(uint32_t(length));
    return "";
}

void BottleDownloads::Finished() {
    // A copy: the failure handler releases the decoder and the transfer.
    const std::string address = transfer->address();
    std::string error;
    if (decoder != nullptr && !decoder->Finish()) {
        error = decoder->error();
        download_didFailWithError(error, address);
        return;
    }
    // Only a file the saver can load replaces what the folder holds: an error
    // page sent as 200, or a body cut short without an announced length,
    // arrives as a finished download.
    if (!CheckBottleFile(file.temporaryPath(), &error) || !file.Commit(&error)) {
        download_didFailWithError(error, address);
        return;
    }
    downloadDidFinish();
}

void BottleDownloads::ReleaseDownload() {
    // Called from the transfer's finish or fail handler, which may destroy
    // it: Step() returns at once after either.
    transfer.reset();
    decoder.reset();
    file.Discard(); // nothing once committed
}

void BottleDownloads::EnableControls() {
    o.oAvailableDownloads->setEnabled(true);
    o.oDownload->setEnabled(true);
    o.oCheckDownloads->setEnabled(true);
    o.oDirectory->setEnabled(true);
    o.oSave->setEnabled(true);
}

void BottleDownloads::downloadDidFinish() {
    saved = true;
    ReleaseDownload();
    o.oDownloadText->setText("Download Complete!");
    o.oProgress->stopAnimation();
    EnableControls();
    configureSheet_checkdownloads();
}

void BottleDownloads::download_didFailWithError(const std::string& description,
                                                const std::string& address) {
    ReleaseDownload();
    o.oDownloadText->setText(FailureText(description, address));
    EnableControls();
}

void BottleDownloads::cancelDownload() {
    if (!downloading()) {
        return;
    }
    transfer.reset();
    decoder.reset();
    file.Discard();
    o.oProgress->stopAnimation();
    EnableControls();
    o.oDownloadText->setText("Download cancelled.");
}

void BottleDownloads::Step() {
    if (transfer != nullptr) {
        transfer->Step();
    }
    if (listTransfer != nullptr) {
        listTransfer->Step();
    }
}

int BottleDownloads::TimeoutHint() const {
    int hint = 10;
    if (transfer != nullptr) {
        hint = std::min(hint, transfer->TimeoutHint());
    }
    if (listTransfer != nullptr) {
        hint = std::min(hint, listTransfer->TimeoutHint());
    }
    return hint;
}

void BottleDownloads::Wait(int maxMilliseconds) {
    // With both running, the shorter hint bounds the wait on the download.
    if (transfer != nullptr) {
        transfer->Wait(listTransfer != nullptr ? std::min(maxMilliseconds, TimeoutHint())
                                               : maxMilliseconds);
    } else if (listTransfer != nullptr) {
        listTransfer->Wait(maxMilliseconds);
    }
}
