#ifndef TUMBLIX_HOST_SHEETCONTROLS_H
#define TUMBLIX_HOST_SHEETCONTROLS_H

#include <string>
#include <vector>

// The controls of the configuration sheet as the sheet's logic sees them.
// The GTK dialog implements each kind over its widgets; tests implement them
// with plain objects.

class Control {
  public:
    virtual ~Control() = default;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
};

// A push button whose only state is whether it can be pressed.
class Button : public Control {};

class CheckBox : public Control {
  public:
    // 1 is on, 0 is off.
    virtual int state() const = 0;
    virtual void setState(int state) = 0;
};

// A spin button or a slider over a whole-number range.
class NumberControl : public Control {
  public:
    virtual int intValue() const = 0;
    virtual void setIntValue(int value) = 0;
};

class TextField : public Control {
  public:
    virtual std::string text() const = 0;
    virtual void setText(const std::string& text) = 0;
};

// A pop-up menu; its value is the index of the selected entry, -1 when it
// has no entries.
class PopUp : public Control {
  public:
    virtual int indexOfSelectedItem() const = 0;
    virtual void selectItemAtIndex(int index) = 0;
    virtual int numberOfItems() const = 0;
    virtual void removeAllItems() = 0;
    virtual void addItemWithTitle(const std::string& title) = 0;
};

// A button whose title is a folder; the title is the folder's text exactly
// as the file system spells it (it need not be UTF-8).
class PathButton : public Control {
  public:
    virtual std::string title() const = 0;
    virtual void setTitle(const std::string& title) = 0;
};

struct SheetColour {
    double red = 0.0, green = 0.0, blue = 0.0; // 0.0 to 1.0
};

// A colour button and the colour chooser it opens.
class ColourWell : public Control {
  public:
    virtual SheetColour color() const = 0;
    virtual void setColor(const SheetColour& colour) = 0;
    // Closes the colour chooser when one is open.
    virtual void closePanel() = 0;
};

class ProgressBar : public Control {
  public:
    virtual double doubleValue() const = 0; // percent
    virtual void setDoubleValue(double percent) = 0;
    virtual void startAnimation() = 0;
    virtual void stopAnimation() = 0;
};

// Where a table gets its rows from.
class TableDataSource {
  public:
    virtual ~TableDataSource() = default;
    virtual int numberOfRowsInTableView() const = 0;
    virtual std::string tableView_objectValueForRow(int row) const = 0;
};

// A list of rows of which any number can be selected.
class BottleTable : public Control {
  public:
    virtual void setDataSource(const TableDataSource* source) = 0;
    // Asks the data source for the rows again.
    virtual void reloadData() = 0;
    // Selects exactly these rows.
    virtual void selectRowIndexes(const std::vector<int>& rows) = 0;
    virtual void selectAll() = 0;
    virtual void deselectAll() = 0;
    virtual bool isRowSelected(int row) const = 0;
};

// The sheet's outlets. None may be null.
struct SheetOutlets {
    Button* oSave = nullptr;
    CheckBox* oMainMonitorOnly = nullptr;
    BottleTable* oBottleSelector = nullptr;
    NumberControl* oMaxBottle = nullptr;
    CheckBox* oGoodShine = nullptr;
    CheckBox* oDrunkenBG = nullptr;
    NumberControl* oBottleSize = nullptr;
    CheckBox* oPlaySound = nullptr;
    PopUp* oBGType = nullptr;
    PopUp* oBGRes = nullptr;
    PathButton* oBGPath = nullptr;
    ColourWell* oBGCol = nullptr;
    NumberControl* oVolume = nullptr;
    CheckBox* oShowClock = nullptr;
    CheckBox* o12HRClock = nullptr;
    CheckBox* oShowCountdown = nullptr;
    NumberControl* oCDHr = nullptr;
    NumberControl* oCDMin = nullptr;
    TextField* oCDHrTxt = nullptr;
    TextField* oCDMinTxt = nullptr;
    PathButton* oDirectory = nullptr;
    PopUp* oAvailableDownloads = nullptr;
    Button* oCheckDownloads = nullptr;
    ProgressBar* oProgress = nullptr;
    Button* oDownload = nullptr;
    TextField* oDownloadText = nullptr;
    // "Start the saver after [N] minutes of idle": 0 is off.
    NumberControl* oIdleMinutes = nullptr;
    // One line under it: where the desktop's own blank comes first.
    TextField* oIdleNote = nullptr;
    // The dialog's status line: why the preview could not start, why the
    // settings could not be saved, why the web page did not open.
    TextField* oStatusText = nullptr;

    bool Complete() const {
        const void* all[] = {oSave,           oMainMonitorOnly,
                             oBottleSelector, oMaxBottle,
                             oGoodShine,      oDrunkenBG,
                             oBottleSize,     oPlaySound,
                             oBGType,         oBGRes,
                             oBGPath,         oBGCol,
                             oVolume,         oShowClock,
                             o12HRClock,      oShowCountdown,
                             oCDHr,           oCDMin,
                             oCDHrTxt,        oCDMinTxt,
                             oDirectory,      oAvailableDownloads,
                             oCheckDownloads, oProgress,
                             oDownload,       oDownloadText,
                             oStatusText,     oIdleMinutes,
                             oIdleNote};
        for (const void* outlet : all) {
            if (outlet == nullptr) {
                return false;
            }
        }
        return true;
    }
};

#endif
