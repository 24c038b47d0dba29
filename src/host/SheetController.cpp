#include "host/SheetController.h"

#include "bottles/MainClass.h"
#include "host/SettingsIO.h"
#include "host/TumblixView.h"
#include "host/WebServer.h"
#include "host/platform/files/AutostartEntry.h"
#include "host/platform/files/PreferenceStore.h"
#include "scene/SSMain.h"

#include <cstring>
#include <memory>

namespace {

double Unit(double value) {
    return value > 0.0 ? (value < 1.0 ? value : 1.0) : 0.0; // NaN gives 0
}

std::unique_ptr<ScreenSaverDefaults> OpenStore() {
    return ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
}

} // namespace

SheetController::SheetController(TumblixView& view, const SheetOutlets& outlets)
    : tumblixView(view), o(outlets) {
    o.oBottleSelector->setDataSource(this);
}

MAINCLASS* SheetController::Catalogue() const {
    if (!tumblixView.setupError.empty() || tumblixView.ssMain == nullptr) {
        return nullptr;
    }
    MAINCLASS* manager = tumblixView.ssMain->bottleManager;
    if (manager == nullptr || manager->types == nullptr || manager->numTypes <= 0) {
        return nullptr;
    }
    return manager;
}

void SheetController::SetStatus(const std::string& text) {
    o.oStatusText->setText(text);
}

void SheetController::configureSheet() {
    const SETTINGS& s = tumblixView.mySettings;
    std::string status;

    o.oMainMonitorOnly->setState(tumblixView.MainMonitorOnly ? 1 : 0);
    o.oBottleSize->setIntValue(SheetRanges::BottleSize.Clamp(s.LBOTTLESIZE));
    o.oMaxBottle->setIntValue(SheetRanges::MaxBottle.Clamp(s.NUM_BOTTLES));
    o.oGoodShine->setState(s.GOODSHINE ? 1 : 0);
    o.oDrunkenBG->setState(s.DRUNKENBG ? 1 : 0);

    // A view whose screen capture failed runs on the desktop picture, but
    // the user's choice is still the capture: show and save that.
    int32_t kind = s.BGTYPE;
    if (kind == BG_DESKTOP_PICTURE) {
        const std::unique_ptr<ScreenSaverDefaults> store = OpenStore();
        if (store != nullptr && store->stringForKey("version") == std::string(SETTINGS_VERSION) &&
            Low32(store->integerForKey("BGType")) == BG_CAPTURE) {
            kind = BG_CAPTURE;
            status = "The preview cannot capture the screen here, so it shows the desktop "
                     "picture instead.";
        }
    }
    o.oBGType->selectItemAtIndex(SheetRange{0, SheetRanges::BGTypeEntries - 1}.Clamp(kind));
    // Every detail but 0 and 1 means the largest texture: the last entry.
    o.oBGRes->selectItemAtIndex(s.BGRES == 0 || s.BGRES == 1 ? s.BGRES
                                                             : SheetRanges::BGResEntries - 1);
    o.oBGPath->setTitle(s.BGPath);
    o.oPlaySound->setState(s.PLAYSOUND ? 1 : 0);
    o.oVolume->setIntValue(SheetRanges::Volume.Clamp(s.VOLUME));
    o.oShowClock->setState(s.SHOWCLOCK ? 1 : 0);
    o.o12HRClock->setState(s.CLOCK12HRMODE ? 1 : 0);
    o.oShowCountdown->setState(s.SHOWCOUNTDOWN ? 1 : 0);
    o.oCDHr->setIntValue(SheetRanges::CDHr.Clamp(s.thr));
    o.oCDMin->setIntValue(SheetRanges::CDMin.Clamp(s.tmin));
    o.oCDHrTxt->setText(std::to_string(o.oCDHr->intValue()));
    o.oCDMinTxt->setText(std::to_string(o.oCDMin->intValue()));
    o.oBGCol->setColor({Unit(s.BGCol.x), Unit(s.BGCol.y), Unit(s.BGCol.z)});
    // The watcher is on while the user's autostart entry is there; the
    // control shows its minutes then, and 0 (off) otherwise.
    watchWasOn = AutostartEntry::Enabled();
    int idleMinutes = 0;
    if (watchWasOn) {
        const std::unique_ptr<ScreenSaverDefaults> store = OpenStore();
        idleMinutes = store != nullptr ? LoadIdleMinutes(*store) : DEFAULT_IDLE_MINUTES;
    }
    o.oIdleMinutes->setIntValue(SheetRanges::IdleMinutes.Clamp(idleMinutes));
    // The bottle folder starts as the user's own, so show where it is.
    o.oDirectory->setTitle(s.BottlePath2);

    if (MAINCLASS* manager = Catalogue()) {
        bottleNames.clear();
        std::vector<int> on;
        for (int i = 0; i < manager->numTypes; i++) {
            bottleNames.emplace_back(manager->types[i].name);
            if (manager->types[i].selected) {
                on.push_back(i);
            }
        }
        o.oBottleSelector->reloadData();
        o.oBottleSelector->selectRowIndexes(on);
        listed = true;
    } else if (!tumblixView.setupError.empty()) {
        status = "The preview could not be set up: " + tumblixView.setupError +
                 ". No bottle types can be listed; saving keeps the stored choice of types.";
    } else if (!listed) {
        status = "The preview has not started, so no bottle types can be listed; saving keeps "
                 "the stored choice of types.";
    }

    // Nothing to choose from until the list has been fetched.
    o.oCheckDownloads->setEnabled(bool(onCheckDownloads));
    o.oAvailableDownloads->setEnabled(o.oAvailableDownloads->numberOfItems() > 0);
    o.oDownload->setEnabled(bool(onDownload) && o.oAvailableDownloads->numberOfItems() > 0);
    if (!onCheckDownloads && o.oDownloadText->text().empty()) {
        o.oDownloadText->setText("Downloading bottle types is not available in this build.");
    }

    SetStatus(status);
    configureSheet_updatestates();
}

void SheetController::configureSheet_updatestates() {
    const int kind = o.oBGType->indexOfSelectedItem();
    o.oBGPath->setEnabled(kind == BG_FOLDER_PICTURE);
    o.oBGRes->setEnabled(kind == BG_CAPTURE);
    // The colour is seen only as the plain background, and only a picture
    // can sway.
    o.oBGCol->setEnabled(kind == BG_COLOUR);
    o.oDrunkenBG->setEnabled(kind != BG_COLOUR);
    o.oVolume->setEnabled(o.oPlaySound->state() == 1);
    o.o12HRClock->setEnabled(o.oShowClock->state() == 1);
    const bool countdown = o.oShowCountdown->state() == 1;
    o.oCDHrTxt->setEnabled(countdown);
    o.oCDHr->setEnabled(countdown);
    o.oCDMinTxt->setEnabled(countdown);
    o.oCDMin->setEnabled(countdown);
    o.oCDHrTxt->setText(std::to_string(o.oCDHr->intValue()));
    o.oCDMinTxt->setText(std::to_string(o.oCDMin->intValue()));

    const int idleMinutes = o.oIdleMinutes->intValue();
    const int blank = desktopBlankSeconds ? desktopBlankSeconds() : 0;
    std::string note;
    if (idleMinutes > 0 && blank > 0 && blank <= idleMinutes * 60) {
        note = "GNOME blanks the screen after " + std::to_string((blank + 59) / 60) +
               " minutes of idle, before the saver would start: set \"Screen Blank\" in its "
               "Power settings to a longer time.";
    }
    o.oIdleNote->setText(note);
}

void SheetController::configureSheet_defaults() {
    SETTINGS d;
    bool mainOnly = false;
    DefaultSettings(&d, &mainOnly);
    o.oMainMonitorOnly->setState(mainOnly ? 1 : 0);
    o.oBottleSize->setIntValue(SheetRanges::BottleSize.Clamp(d.LBOTTLESIZE));
    o.oMaxBottle->setIntValue(SheetRanges::MaxBottle.Clamp(d.NUM_BOTTLES));
    o.oGoodShine->setState(d.GOODSHINE ? 1 : 0);
    o.oDrunkenBG->setState(d.DRUNKENBG ? 1 : 0);
    o.oBGType->selectItemAtIndex(d.BGTYPE);
    o.oBGRes->selectItemAtIndex(d.BGRES);
    o.oPlaySound->setState(d.PLAYSOUND ? 1 : 0);
    // The picture folder is a choice of a place, not a setting to reset.
    o.oBGPath->setTitle(tumblixView.mySettings.BGPath);
    o.oVolume->setIntValue(SheetRanges::Volume.Clamp(d.VOLUME));
    o.oShowClock->setState(d.SHOWCLOCK ? 1 : 0);
    o.o12HRClock->setState(d.CLOCK12HRMODE ? 1 : 0);
    o.oShowCountdown->setState(d.SHOWCOUNTDOWN ? 1 : 0);
    o.oCDHr->setIntValue(SheetRanges::CDHr.Clamp(d.thr));
    o.oCDMin->setIntValue(SheetRanges::CDMin.Clamp(d.tmin));
    o.oBGCol->setColor({d.BGCol.x, d.BGCol.y, d.BGCol.z});
    if (listed && Catalogue() != nullptr) {
        std::vector<int> all(size_t(Catalogue()->numTypes));
        for (size_t i = 0; i < all.size(); i++) {
            all[i] = int(i);
        }
        o.oBottleSelector->selectRowIndexes(all);
    }
    configureSheet_updatestates();
}

std::string SheetController::SelectionText(const std::string& storedText) {
    MAINCLASS* manager = listed ? Catalogue() : nullptr;
    if (manager == nullptr) {
        // Without the catalogue the table says nothing about the types:
        // keep the user's choice as it is.
        return storedText;
    }
    bool anySelected = false;
    for (int i = 0; i < manager->numTypes && !anySelected; i++) {
        anySelected = o.oBottleSelector->isRowSelected(i);
    }
    if (!anySelected) {
        return "##";
    }
    std::string text;
    for (int i = 0; i < manager->numTypes; i++) {
        BOTTLEINFO& type = manager->types[i];
        type.selected = o.oBottleSelector->isRowSelected(i);
        // A "#" would split the name, and a leading one would end the list
        // before the names after it: such a file cannot be switched off.
        if (!type.selected && type.fileName[0] != '\0' &&
            std::strchr(type.fileName, '#') == nullptr) {
            text += type.fileName;
            text += '#';
        }
    }
    return text + "##";
}

bool SheetController::configureSheet_save() {
    SETTINGS& s = tumblixView.mySettings;
    tumblixView.MainMonitorOnly = o.oMainMonitorOnly->state() == 1;
    s.LBOTTLESIZE = o.oBottleSize->intValue();
    s.NUM_BOTTLES = o.oMaxBottle->intValue();
    s.GOODSHINE = o.oGoodShine->state() == 1;
    s.DRUNKENBG = o.oDrunkenBG->state() == 1;
    s.BGTYPE = o.oBGType->indexOfSelectedItem();
    s.BGRES = o.oBGRes->indexOfSelectedItem();
    s.PLAYSOUND = o.oPlaySound->state() == 1;
    s.VOLUME = int16_t(uint16_t(uint32_t(o.oVolume->intValue())));
    s.SHOWCLOCK = o.oShowClock->state() == 1;
    s.CLOCK12HRMODE = o.o12HRClock->state() == 1;
    s.SHOWCOUNTDOWN = o.oShowCountdown->state() == 1;
    s.thr = o.oCDHr->intValue();
    s.tmin = o.oCDMin->intValue();
    const SheetColour colour = o.oBGCol->color();
    s.BGCol = VECTOR3D(float(colour.red), float(colour.green), float(colour.blue));

    const std::unique_ptr<ScreenSaverDefaults> store = OpenStore();
    if (store == nullptr) {
        SetStatus("The settings could not be saved: there is no preference store.");
        return false;
    }
    // A store that lost its version would be reset to the defaults the next
    // time a view reads it, and this save with it.
    if (store->stringForKey("version") != std::string(SETTINGS_VERSION)) {
        store->setObject(SETTINGS_VERSION, "version");
    }
    const std::string selection =
        SelectionText(store->stringForKey("BottleSelection").value_or("##"));
    const int idleMinutes = o.oIdleMinutes->intValue();
    // Off leaves the stored minutes alone unless the user switched the
    // watcher off here: they serve a `tumblix --watch` started by hand too.
    if (idleMinutes > 0 || watchWasOn) {
        store->setInteger(idleMinutes, "IdleMinutes");
    }
    if (!WriteSettings(*store, s, tumblixView.MainMonitorOnly, o.oBGPath->title(), selection)) {
        SetStatus("The settings could not be saved: " +
                  (store->error().empty() ? std::string("a folder or file name is not UTF-8 text")
                                          : store->error()));
        return false;
    }
    std::string problem;
    if (!SaveWatch(&problem)) {
        SetStatus("The settings were saved, but the saver cannot be started by itself: " + problem);
        return false;
    }
    if (endSheet) {
        endSheet();
    }
    return true;
}

bool SheetController::SaveWatch(std::string* problem) {
    const bool on = o.oIdleMinutes->intValue() > 0;
    if (!on) {
        if (!AutostartEntry::Disable(problem)) {
            return false;
        }
        watchWasOn = false;
        return true;
    }
    if (!AutostartEntry::Enable(AutostartEntry::ThisProgram(), problem)) {
        return false;
    }
    // Switched on: this session gets its watcher now, not at the next login.
    if (!watchWasOn && startWatcher) {
        startWatcher();
    }
    watchWasOn = true;
    return true;
}

void SheetController::configureSheet_cancel() {
    o.oBGCol->closePanel();
    if (endSheet) {
        endSheet();
    }
}

void SheetController::configureSheet_bgpath() {
    if (!runOpenPanel) {
        return;
    }
    SETTINGS& s = tumblixView.mySettings;
    const std::optional<std::string> chosen = runOpenPanel(
        "Select Folder To Load Random Background Images From", s.BGPath, {"jpg", "gif", "png"});
    if (chosen) {
        CopyPath(s.BGPath, chosen->c_str());
        o.oBGPath->setTitle(s.BGPath);
    }
}

void SheetController::configureSheet_directory() {
    if (!runOpenPanel) {
        return;
    }
    SETTINGS& s = tumblixView.mySettings;
    const std::optional<std::string> chosen =
        runOpenPanel("Select Bottle Data Folder", s.BottlePath2, {"brew"});
    if (chosen) {
        CopyPath(s.BottlePath2, chosen->c_str());
        o.oDirectory->setTitle(s.BottlePath2);
    }
}

void SheetController::configureSheet_selectAll() {
    o.oBottleSelector->selectAll();
}

void SheetController::configureSheet_selectNone() {
    o.oBottleSelector->deselectAll();
}

std::string SheetController::WebPageAddress(std::string* problem) const {
    return WebServer::WebPageAddress(problem);
}

void SheetController::configureSheet_openwebsite() {
    std::string problem;
    const std::string address = WebPageAddress(&problem);
    if (address.empty()) {
        SetStatus(problem);
        return;
    }
    std::string error;
    if (!openURL || !openURL(address, &error)) {
        SetStatus("Cannot open " + address + (error.empty() ? "" : ": " + error));
    }
}

void SheetController::configureSheet_checkdownloads() {
    if (onCheckDownloads) {
        onCheckDownloads();
    }
}

void SheetController::configureSheet_download() {
    if (onDownload) {
        onDownload();
    }
}

int SheetController::numberOfRowsInTableView() const {
    return int(bottleNames.size());
}

std::string SheetController::tableView_objectValueForRow(int row) const {
    return row >= 0 && size_t(row) < bottleNames.size() ? bottleNames[size_t(row)] : "";
}
