#include "host/DownloadCommands.h"

#include "bottles/MainClass.h"
#include "host/BottleDownloads.h"
#include "host/SettingsIO.h"
#include "host/platform/sdl/Runners.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

template <class Kind> class Quiet : public Kind {
  public:
    void setEnabled(bool e) override { enabled = e; }
    bool isEnabled() const override { return enabled; }
    bool enabled = true;
};

struct QuietButton : Quiet<Button> {};

struct QuietProgress : Quiet<ProgressBar> {
    double doubleValue() const override { return value; }
    void setDoubleValue(double v) override { value = v; }
    void startAnimation() override {}
    void stopAnimation() override {}
    double value = 0.0;
};

struct QuietPath : Quiet<PathButton> {
    std::string title() const override { return value; }
    void setTitle(const std::string& t) override { value = t; }
    std::string value;
};

struct ListPopUp : Quiet<PopUp> {
    int indexOfSelectedItem() const override { return selected; }
    void selectItemAtIndex(int i) override { selected = i >= 0 && i < numberOfItems() ? i : -1; }
    int numberOfItems() const override { return int(items.size()); }
    void removeAllItems() override {
        items.clear();
        selected = -1;
    }
    void addItemWithTitle(const std::string& t) override { items.push_back(t); }
    std::vector<std::string> items;
    int selected = -1;
};

// The status line as printed lines. On a terminal the progress texts
// overwrite each other on one line.
struct PrintedText : Quiet<TextField> {
    explicit PrintedText(FILE* s) : stream(s), terminal(isatty(fileno(s)) == 1) {}
    ~PrintedText() override { EndProgressLine(); }
    std::string text() const override { return value; }
    void setText(const std::string& t) override {
        value = t;
        const bool progress = !t.empty() && t.back() == '\n';
        if (progress && terminal) {
            std::fprintf(stream, "\r%s", t.substr(0, t.size() - 1).c_str());
            onProgressLine = true;
        } else {
            EndProgressLine();
            std::fprintf(stream, "%s%s", t.c_str(), progress ? "" : "\n");
        }
        std::fflush(stream);
    }
    void EndProgressLine() {
        if (onProgressLine) {
            std::fputc('\n', stream);
            onProgressLine = false;
        }
    }
    FILE* stream;
    bool terminal;
    bool onProgressLine = false;
    std::string value;
};

// The controls of the sheet's download corner and the catalogue a view
// would have: the resource folder's types and the user's.
struct Downloader {
    explicit Downloader(const std::string& resources, FILE* messages) : text(messages) {
        DownloadOutlets o;
        o.oAvailableDownloads = &popUp;
        o.oCheckDownloads = &check;
        o.oProgress = &progress;
        o.oDownload = &download;
        o.oDownloadText = &text;
        o.oDirectory = &directory;
        o.oSave = &save;
        downloads = std::make_unique<BottleDownloads>(o);

        std::snprintf(manager.bottlePath, sizeof manager.bottlePath, "%s%s", resources.c_str(),
                      !resources.empty() && resources.back() != '/' ? "/" : "");
        std::snprintf(manager.bottlePath2, sizeof manager.bottlePath2, "%s",
                      UserBottleFolder().c_str());
        // No type anywhere leaves the catalogue empty: every listed type is
        // then offered, which is right, as the user's folder holds none.
        manager.BuildBottleList();
        downloads->bottleManager = [this] { return &manager; };
        downloads->bottleFolder = [] { return UserBottleFolder(); };
    }

    // The list, fetched to its end; SIGTERM and SIGINT stop the wait.
    bool FetchList() {
        if (!downloads->configureSheet_checkdownloads()) {
            return false;
        }
        while (downloads->checking()) {
            if (QuitRequested()) {
                return false;
            }
            downloads->Wait(100);
            downloads->Step();
        }
        return downloads->lastListRead();
    }

    ListPopUp popUp;
    QuietButton check, download, save;
    QuietProgress progress;
    QuietPath directory;
    PrintedText text;
    MAINCLASS manager;
    std::unique_ptr<BottleDownloads> downloads;
};

} // namespace

namespace DownloadCommands {

int ListDownloads(const std::string& resources) {
    Downloader d(resources, stderr);
    if (!d.FetchList()) {
        return 1;
    }
    for (uint32_t i = 0; i < d.downloads->numDownloads; i++) {
        std::printf("%s\n", d.downloads->downloadData[i].typeName);
    }
    if (d.downloads->numDownloads == 0) {
        std::fprintf(stderr, "No bottle types on offer that your bottle folder (%s) lacks.\n",
                     UserBottleFolder().c_str());
    }
    return 0;
}

int Download(const std::string& resources, const std::string& name) {
    Downloader d(resources, stdout);
    BottleDownloads& downloads = *d.downloads;
    if (!d.FetchList()) {
        return 1;
    }
    int index = -1;
    for (uint32_t i = 0; i < downloads.numDownloads && index < 0; i++) {
        if (name == downloads.downloadData[i].typeName) {
            index = int(i);
        }
    }
    if (index < 0) {
        std::fprintf(stderr,
                     "tumblix: no bottle type named \"%s\" is on offer (tumblix --downloads lists "
                     "those your bottle folder lacks)\n",
                     name.c_str());
        return 1;
    }
    d.popUp.selectItemAtIndex(index);
    if (!downloads.configureSheet_download()) {
        return 1;
    }
    while (downloads.downloading()) {
        if (QuitRequested()) {
            downloads.cancelDownload();
            return 1;
        }
        downloads.Wait(100);
        downloads.Step();
    }
    if (!downloads.lastDownloadSaved()) {
        return 1;
    }
    d.text.EndProgressLine();
    std::printf("Saved %s\n", downloads.destination().c_str());
    return 0;
}

} // namespace DownloadCommands
