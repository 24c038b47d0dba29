#ifndef TUMBLIX_HOST_SHEETCONTROLLER_H
#define TUMBLIX_HOST_SHEETCONTROLLER_H

#include "host/SheetControls.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class MAINCLASS;
class TumblixView;

// The whole-number ranges of the sheet's numeric controls. A stored value
// outside its range is shown at the nearer end, and saved as shown.
struct SheetRange {
    int min, max;
    int Clamp(long long value) const { return value < min ? min : value > max ? max : int(value); }
};
namespace SheetRanges {
constexpr SheetRange MaxBottle{0, 5};
constexpr SheetRange BottleSize{10, 200}; // percent
constexpr SheetRange Volume{0, 255};
constexpr SheetRange CDHr{0, 23};
constexpr SheetRange CDMin{0, 59};
constexpr SheetRange IdleMinutes{0, 720}; // 0: the watcher is off
constexpr int BGTypeEntries = 4;          // BGTYPE 0 to 3
constexpr int BGResEntries = 3;           // 512, 1024, the largest
} // namespace SheetRanges

// The configuration sheet of a view: fills the controls from the view's
// settings, keeps their enabled states, resets them to the defaults, and
// saves them into the view's record and the preference store. It knows no
// toolkit: the dialog hands it the controls and the few services below.
//
// These are the view's sheet operations under the view's own names; the
// view's bottleList lives here, beside the table it feeds.
class SheetController : public TableDataSource {
  public:
    SheetController(TumblixView& view, const SheetOutlets& outlets);

    // Runs a modal folder chooser; the chosen folder, or nothing when the
    // chooser was dismissed.
    std::function<std::optional<std::string>(const std::string& title,
                                             const std::string& startFolder,
                                             const std::vector<std::string>& fileTypes)>
        runOpenPanel;
    // Opens an address in the desktop's browser; false with a reason when it
    // could not.
    std::function<bool(const std::string& address, std::string* error)> openURL;
    // Ends the sheet (the dialog closes).
    std::function<void()> endSheet;
    // The downloads' actions. Without them the two download buttons are
    // disabled.
    std::function<void()> onCheckDownloads;
    std::function<void()> onDownload;
    // Starts the idle watcher now, for the session that is running.
    std::function<void()> startWatcher;
    // After how many seconds of idle the desktop blanks the screen itself
    // (GNOME's idle-delay); 0 when it never does or it cannot be told.
    std::function<int()> desktopBlankSeconds;

    void configureSheet();
    void configureSheet_updatestates();
    void configureSheet_update() { configureSheet_updatestates(); }
    void configureSheet_defaults();
    // False, with the sheet left open and the reason in the status line, when
    // the store could not be written.
    bool configureSheet_save();
    void configureSheet_cancel();
    void configureSheet_bgpath();
    void configureSheet_directory();
    void configureSheet_selectAll();
    void configureSheet_selectNone();
    void configureSheet_openwebsite();
    void configureSheet_checkdownloads();
    void configureSheet_download();

    int numberOfRowsInTableView() const override;
    std::string tableView_objectValueForRow(int row) const override;

    // The address of the product's web page: the "WebServer" preference
    // (default http://127.0.0.1:8018) and "/mac/tumblix/". Empty, with the
    // reason, when the preference is not an http or https address.
    std::string WebPageAddress(std::string* problem) const;

    TumblixView& view() { return tumblixView; }
    const SheetOutlets& outlets() const { return o; }
    const std::vector<std::string>& bottleList() const { return bottleNames; }

  private:
    // The catalogue the table shows: the view's bottle manager once its scene
    // is set up; null before that or when the set-up failed.
    MAINCLASS* Catalogue() const;
    std::string SelectionText(const std::string& storedText);
    void SetStatus(const std::string& text);
    // Adds or removes the autostart entry as the idle control says.
    bool SaveWatch(std::string* problem);

    TumblixView& tumblixView;
    SheetOutlets o;
    std::vector<std::string> bottleNames;
    bool listed = false;     // the table shows the catalogue
    bool watchWasOn = false; // the autostart entry was there when the sheet opened
};

#endif
