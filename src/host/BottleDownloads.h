#ifndef TUMBLIX_HOST_BOTTLEDOWNLOADS_H
#define TUMBLIX_HOST_BOTTLEDOWNLOADS_H

#include "host/DownloadFile.h"
#include "host/DownloadList.h"
#include "host/SheetControls.h"
#include "host/platform/web/WebTransfer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class GzipDecoder;
class MAINCLASS;
class TumblixView;

// The controls the downloads work on. None may be null.
struct DownloadOutlets {
    PopUp* oAvailableDownloads = nullptr;
    Button* oCheckDownloads = nullptr;
    ProgressBar* oProgress = nullptr;
    Button* oDownload = nullptr;
    TextField* oDownloadText = nullptr;
    PathButton* oDirectory = nullptr;
    Button* oSave = nullptr;

    static DownloadOutlets FromSheet(const SheetOutlets& sheet);
};

// The view's bottle-type downloads: fetching the server's list of bottle
// types into the pop-up, and downloading one of them into the bottle folder
// with progress in the sheet. The dialog, the command line and the tests
// drive the same code through their own controls.
//
// The list fetch and a download run on the caller's loop: once either has
// started (onStarted tells), call Step() every TimeoutHint() milliseconds (or
// after Wait()) until busy() is false. The handlers below are what the
// running download calls from inside Step().
class BottleDownloads {
  public:
    explicit BottleDownloads(const DownloadOutlets& outlets);
    // A download still running is stopped; its temporary file goes.
    ~BottleDownloads();
    BottleDownloads(const BottleDownloads&) = delete;
    BottleDownloads& operator=(const BottleDownloads&) = delete;

    // The bottle manager whose user folder holds the installed types; null
    // (or a manager with an empty catalogue) offers every listed type.
    std::function<MAINCLASS*()> bottleManager;
    // The folder downloads are saved into (the view's BottlePath2).
    std::function<std::string()> bottleFolder;
    // Called when a download or a list fetch has started, so the caller
    // begins stepping it.
    std::function<void()> onStarted;
    // Called with the reason when a list that arrived is refused.
    std::function<void(const std::string& reason)> onListRefused;
    WebLimits limits;

    // Takes both from the view: its scene's bottle manager (none before the
    // first frame) and its BottlePath2.
    void UseView(TumblixView& view);

    // Starts fetching the list; once it has come, Step() fills the pop-up
    // with it, or puts the reason in oDownloadText and changes nothing else
    // when there is no usable list. False, with the reason, when no fetch
    // began (a fetch already running goes on).
    bool configureSheet_checkdownloads();
    // The same, run to its end: whether the list was read.
    bool CheckDownloadsAndWait();
    bool checking() const { return listTransfer != nullptr; }
    // Whether the last list fetch that ended filled the pop-up.
    bool lastListRead() const { return listRead; }
    // Starts downloading the type selected in the pop-up; false, with the
    // reason in oDownloadText, when no download began.
    bool configureSheet_download();

    void download_didReceiveResponse(int64_t expectedContentLength);
    void download_didReceiveDataOfLength(uint32_t length);
    // Opens the destination's temporary file; the reason when it cannot.
    std::string download_decideDestinationWithSuggestedFilename(const std::string& filename,
                                                                const std::string& addressName);
    static bool download_shouldDecodeSourceDataOfMIMEType(const std::string& mimeType);
    void downloadDidFinish();
    void download_didFailWithError(const std::string& description, const std::string& address);

    // Stops a running download: the temporary file goes, any file of the
    // same name stays as it was, the controls are usable again.
    void cancelDownload();
    bool downloading() const { return transfer != nullptr; }
    bool busy() const { return downloading() || checking(); }
    void Step();
    int TimeoutHint() const;
    void Wait(int maxMilliseconds);

    // Where the running (or last) download is saved; empty before one.
    const std::string& destination() const { return file.destination(); }
    // Whether the last download that ended was saved.
    bool lastDownloadSaved() const { return saved; }

    std::vector<DOWNLOADDATA> downloadData;
    uint32_t numDownloads = 0;
    int64_t bytesReceived = 0;
    int64_t expectedBytes = 0;

  private:
    void EnableControls();
    void ListArrived();
    void ListFailed(FetchFailure failure, const std::string& description);
    void ReleaseDownload();
    WebTransfer::Handlers DownloadHandlers();
    std::string ResponseArrived(const WebTransfer::Response& response);
    void StartDecoding();
    std::string DataArrived(const char* data, size_t length);
    void Finished();

    DownloadOutlets o;
    // The running download and the running list fetch, each owned here
    // alone. A transfer's finish and fail handlers may destroy it.
    std::unique_ptr<WebTransfer> transfer;
    std::unique_ptr<WebTransfer> listTransfer;
    std::string listText;
    bool listRead = false;
    std::unique_ptr<GzipDecoder> decoder;
    DownloadFile file;
    std::string folder;     // of the running download
    std::string writeError; // why the decoded data could not be written
    bool saved = false;
};

#endif
