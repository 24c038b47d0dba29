#include "FileContents.h"
#include "GLFixture.h"
#include "SaverFiles.h"
#include "SceneFiles.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "host/SettingsIO.h"
#include "host/SheetController.h"
#include "host/TumblixView.h"
#include "host/platform/PreferenceStore.h"
#include "scene/SSMain.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>

// The configuration sheet's logic, driven through plain controls over a real
// preview view whose scene is set up from generated bottle files.

namespace {

template <class Kind> class Plain : public Kind {
  public:
    void setEnabled(bool e) override { enabled = e; }
    bool isEnabled() const override { return enabled; }
    bool enabled = true;
};

struct PlainButton : Plain<Button> {};
struct PlainCheck : Plain<CheckBox> {
    int state() const override { return value; }
    void setState(int s) override { value = s; }
    int value = 0;
};
// Takes any number: range checks are the sheet's business.
struct PlainNumber : Plain<NumberControl> {
    int intValue() const override { return value; }
    void setIntValue(int v) override { value = v; }
    int value = -999;
};
struct PlainText : Plain<TextField> {
    std::string text() const override { return value; }
    void setText(const std::string& t) override { value = t; }
    std::string value;
};
// An index outside the entries selects nothing.
struct PlainPopUp : Plain<PopUp> {
    explicit PlainPopUp(int entries = 0) : items(size_t(entries), "entry") {}
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
struct PlainPath : Plain<PathButton> {
    std::string title() const override { return value; }
    void setTitle(const std::string& t) override { value = t; }
    std::string value = "(unset)";
};
struct PlainColour : Plain<ColourWell> {
    SheetColour color() const override { return value; }
    void setColor(const SheetColour& c) override { value = c; }
    void closePanel() override { panelOpen = false; }
    SheetColour value;
    bool panelOpen = false;
};
struct PlainProgress : Plain<ProgressBar> {
    double doubleValue() const override { return value; }
    void setDoubleValue(double v) override { value = v; }
    void startAnimation() override {}
    void stopAnimation() override {}
    double value = 0;
};
struct PlainTable : Plain<BottleTable> {
    void setDataSource(const TableDataSource* s) override { source = s; }
    void reloadData() override {
        rows.clear();
        for (int i = 0; i < source->numberOfRowsInTableView(); i++) {
            rows.push_back(source->tableView_objectValueForRow(i));
        }
    }
    void selectRowIndexes(const std::vector<int>& r) override {
        selected.clear();
        for (int i : r) {
            if (i >= 0 && size_t(i) < rows.size()) {
                selected.insert(i);
            }
        }
    }
    void selectAll() override {
        for (size_t i = 0; i < rows.size(); i++) {
            selected.insert(int(i));
        }
    }
    void deselectAll() override { selected.clear(); }
    bool isRowSelected(int row) const override { return selected.count(row) != 0; }
    int Row(const std::string& name) const {
        for (size_t i = 0; i < rows.size(); i++) {
            if (rows[i] == name) {
                return int(i);
            }
        }
        return -1;
    }
    const TableDataSource* source = nullptr;
    std::vector<std::string> rows;
    std::set<int> selected;
};

struct Sheet {
    PlainButton save, checkDownloads, download;
    PlainCheck mainMonitorOnly, goodShine, drunkenBG, playSound, showClock, clock12, showCountdown;
    PlainNumber maxBottle, bottleSize, volume, cdHr, cdMin;
    PlainText cdHrTxt, cdMinTxt, downloadText, status;
    PlainPopUp bgType{SheetRanges::BGTypeEntries}, bgRes{SheetRanges::BGResEntries}, downloads;
    PlainPath bgPath, directory;
    PlainColour colour;
    PlainProgress progress;
    PlainTable table;

    SheetOutlets Outlets() {
        SheetOutlets o;
        o.oSave = &save;
        o.oMainMonitorOnly = &mainMonitorOnly;
        o.oBottleSelector = &table;
        o.oMaxBottle = &maxBottle;
        o.oGoodShine = &goodShine;
        o.oDrunkenBG = &drunkenBG;
        o.oBottleSize = &bottleSize;
        o.oPlaySound = &playSound;
        o.oBGType = &bgType;
        o.oBGRes = &bgRes;
        o.oBGPath = &bgPath;
        o.oBGCol = &colour;
        o.oVolume = &volume;
        o.oShowClock = &showClock;
        o.o12HRClock = &clock12;
        o.oShowCountdown = &showCountdown;
        o.oCDHr = &cdHr;
        o.oCDMin = &cdMin;
        o.oCDHrTxt = &cdHrTxt;
        o.oCDMinTxt = &cdMinTxt;
        o.oDirectory = &directory;
        o.oAvailableDownloads = &downloads;
        o.oCheckDownloads = &checkDownloads;
        o.oProgress = &progress;
        o.oDownload = &download;
        o.oDownloadText = &downloadText;
        o.oStatusText = &status;
        return o;
    }
};

const char* const kStore = "[dwTumblixSS]\n"
                           "version=1.0\n"
                           "MainMonitorOnly=true\n"
                           "BottleSize=80\n"
                           "MaxBottle=3\n"
                           "GoodShine=false\n"
                           "DrunkenBG=true\n"
                           "BGType=2\n"
                           "BGRes=0\n"
                           "PlaySound=false\n"
                           "BGPath=/srv/pictures/\n"
                           "Volume=70\n"
                           "ShowClock=true\n"
                           "Clock12Hr=true\n"
                           "ShowCountdown=true\n"
                           "CDHr=9\n"
                           "CDMin=45\n"
                           "BGColR=0.25\n"
                           "BGColG=0.5\n"
                           "BGColB=0.75\n";

class SheetTest : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        saverfiles::UseUserFolders(home.path());
        resources = home.Subdir("res");
    }
    void TearDown() override {
        controller.reset();
        view.reset();
        GLFixture::TearDown();
    }

    std::string StorePath() const { return home / "config/dwTumblixSS/preferences.ini"; }
    void WriteStore(const std::string& text) const {
        std::filesystem::create_directories(home / "config/dwTumblixSS");
        std::ofstream(StorePath(), std::ios::binary) << text;
    }
    std::unique_ptr<ScreenSaverDefaults> Store() const {
        return ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    }

    // A preview view over `bottles` generated types, its scene set up by
    // its first tick (unless told not to), and the sheet filled.
    void Open(int bottles, bool tick = true) {
        if (bottles > 0) {
            scenefiles::WriteResources(resources);
            scenefiles::WriteBottles(resources, bottles);
        }
        NSRect frame;
        frame.width = viewWidth;
        frame.height = viewHeight;
        view = std::make_unique<TumblixView>(frame, true, &window, resources);
        view->seed = 7;
        if (tick) {
            view->startAnimation();
            view->animateOneFrame();
        }
        controller = std::make_unique<SheetController>(*view, sheet.Outlets());
        controller->endSheet = [this] { ended++; };
        controller->configureSheet();
    }
    MAINCLASS& Catalogue() const { return *view->ssMain->bottleManager; }
    int RowOfFile(const std::string& fileName) const {
        for (int i = 0; i < Catalogue().numTypes; i++) {
            if (fileName == Catalogue().types[i].fileName) {
                return i;
            }
        }
        return -1;
    }

    TempDir home;
    std::string resources;
    Sheet sheet;
    std::unique_ptr<TumblixView> view;
    std::unique_ptr<SheetController> controller;
    int ended = 0;
};

TEST_F(SheetTest, FillsTheControlsFromTheRecordAndListsTheCatalogue) {
    WriteStore(std::string(kStore) + "BottleSelection=bottle1.brew###\n");
    Open(3);
    ASSERT_EQ(view->setupError, "");
    EXPECT_EQ(sheet.mainMonitorOnly.value, 1);
    EXPECT_EQ(sheet.bottleSize.value, 80);
    EXPECT_EQ(sheet.maxBottle.value, 3);
    EXPECT_EQ(sheet.goodShine.value, 0);
    EXPECT_EQ(sheet.bgType.selected, 2);
    EXPECT_EQ(sheet.bgRes.selected, 0);
    EXPECT_EQ(sheet.bgPath.value, "/srv/pictures/");
    EXPECT_EQ(sheet.volume.value, 70);
    EXPECT_EQ(sheet.clock12.value, 1);
    EXPECT_EQ(sheet.cdHr.value, 9);
    EXPECT_EQ(sheet.cdMinTxt.value, "45");
    EXPECT_FLOAT_EQ(sheet.colour.value.green, 0.5);
    EXPECT_EQ(sheet.directory.value, UserBottleFolder());
    EXPECT_EQ(sheet.status.value, "");

    // One row per catalogue entry, by display name, selected where the type
    // is switched on.
    ASSERT_EQ(sheet.table.rows.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(sheet.table.rows[size_t(i)], Catalogue().types[i].name);
        EXPECT_EQ(sheet.table.isRowSelected(i),
                  std::string(Catalogue().types[i].fileName) != "bottle1.brew")
            << Catalogue().types[i].fileName;
    }
    EXPECT_EQ(controller->tableView_objectValueForRow(3), "");
}

TEST_F(SheetTest, OutOfRangeValuesAreShownClampedAndSavedAsShown) {
    WriteStore("[dwTumblixSS]\nversion=1.0\nBottleSize=500\nMaxBottle=-4\nVolume=300\nCDHr=30\n"
               "CDMin=-5\nBGType=7\nBGRes=9\nBGColR=2.5\nBGColG=-1\nBGColB=0.5\n");
    Open(2);
    EXPECT_EQ(sheet.bottleSize.value, 200);
    EXPECT_EQ(sheet.maxBottle.value, 0);
    EXPECT_EQ(sheet.volume.value, 255);
    EXPECT_EQ(sheet.cdHr.value, 23);
    EXPECT_EQ(sheet.cdHrTxt.value, "23");
    EXPECT_EQ(sheet.cdMin.value, 0);
    EXPECT_EQ(sheet.bgType.selected, 3);
    EXPECT_EQ(sheet.bgRes.selected, 2); // any other detail is the largest

    ASSERT_TRUE(controller->configureSheet_save());
    const auto store = Store();
    EXPECT_EQ(store->integerForKey("BottleSize"), 200);
    EXPECT_EQ(store->integerForKey("MaxBottle"), 0);
    EXPECT_EQ(store->integerForKey("Volume"), 255);
    EXPECT_EQ(store->integerForKey("CDHr"), 23);
    EXPECT_EQ(store->integerForKey("CDMin"), 0);
    EXPECT_EQ(store->integerForKey("BGType"), 3);
    EXPECT_EQ(store->integerForKey("BGRes"), 2);
    EXPECT_EQ(store->floatForKey("BGColR"), 1.0f);
    EXPECT_EQ(store->floatForKey("BGColG"), 0.0f);
    EXPECT_EQ(store->floatForKey("BGColB"), 0.5f);
    EXPECT_EQ(view->mySettings.LBOTTLESIZE, 200);
    EXPECT_EQ(view->mySettings.VOLUME, 255);
    EXPECT_EQ(ended, 1);
}

TEST_F(SheetTest, ControlsAreEnabledByTheValuesTheyDependOn) {
    WriteStore(kStore);
    Open(1);
    struct Expected {
        bool path, res, colour, sway;
    };
    const Expected byKind[] = {{false, true, false, true},
                               {false, false, false, true},
                               {true, false, false, true},
                               {false, false, true, false}};
    for (int kind = 0; kind < 4; kind++) {
        sheet.bgType.selectItemAtIndex(kind);
        controller->configureSheet_update();
        EXPECT_EQ(sheet.bgPath.enabled, byKind[kind].path) << "kind " << kind;
        EXPECT_EQ(sheet.bgRes.enabled, byKind[kind].res) << "kind " << kind;
        EXPECT_EQ(sheet.colour.enabled, byKind[kind].colour) << "kind " << kind;
        EXPECT_EQ(sheet.drunkenBG.enabled, byKind[kind].sway) << "kind " << kind;
    }

    // The stored countdown is on; switching it off disables its four
    // controls, whose texts still follow the numbers.
    EXPECT_TRUE(sheet.cdHr.enabled && sheet.cdMinTxt.enabled);
    sheet.showCountdown.value = 0;
    sheet.cdHr.value = 6;
    sheet.cdMin.value = 5;
    controller->configureSheet_updatestates();
    for (const Control* c : std::initializer_list<const Control*>{
             &sheet.cdHr, &sheet.cdMin, &sheet.cdHrTxt, &sheet.cdMinTxt}) {
        EXPECT_FALSE(c->isEnabled());
    }
    EXPECT_EQ(sheet.cdHrTxt.value, "6");
    EXPECT_EQ(sheet.cdMinTxt.value, "5");

    EXPECT_FALSE(sheet.volume.enabled); // the stored sound is off
    sheet.playSound.value = 1;
    sheet.showClock.value = 0;
    controller->configureSheet_updatestates();
    EXPECT_TRUE(sheet.volume.enabled);
    EXPECT_FALSE(sheet.clock12.enabled);
}

TEST_F(SheetTest, DefaultsThenCancelLeavesRecordAndStoreUnchanged) {
    WriteStore(std::string(kStore) + "BottleSelection=bottle0.brew###\n");
    Open(3);
    const std::string storeBefore = Contents(StorePath());
    std::vector<char> recordBefore(sizeof(SETTINGS));
    std::memcpy(recordBefore.data(), &view->mySettings, sizeof(SETTINGS));
    sheet.colour.panelOpen = true;

    controller->configureSheet_defaults();
    EXPECT_EQ(sheet.maxBottle.value, 5);
    EXPECT_EQ(sheet.bottleSize.value, 50);
    EXPECT_EQ(sheet.bgType.selected, 0);
    EXPECT_EQ(sheet.volume.value, 100);
    EXPECT_EQ(sheet.cdHr.value, 17);
    EXPECT_EQ(sheet.mainMonitorOnly.value, 0);
    EXPECT_EQ(sheet.bgPath.value, "/srv/pictures/") << "the picture folder is kept";
    EXPECT_FALSE(sheet.cdHr.enabled) << "the states follow the defaults";
    EXPECT_EQ(sheet.table.selected.size(), 3u);

    controller->configureSheet_cancel();
    EXPECT_FALSE(sheet.colour.panelOpen);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(Contents(StorePath()), storeBefore);
    EXPECT_EQ(std::memcmp(recordBefore.data(), &view->mySettings, sizeof(SETTINGS)), 0);
    EXPECT_TRUE(view->MainMonitorOnly);
    EXPECT_FALSE(Catalogue().types[RowOfFile("bottle0.brew")].selected);
}

TEST_F(SheetTest, DefaultsThenSaveSwitchesEveryTypeOn) {
    WriteStore(std::string(kStore) + "BottleSelection=bottle0.brew#bottle2.brew###\n");
    Open(3);
    EXPECT_EQ(sheet.table.selected.size(), 1u);
    controller->configureSheet_defaults();
    ASSERT_TRUE(controller->configureSheet_save());
    const auto store = Store();
    EXPECT_EQ(store->stringForKey("BottleSelection"), "##");
    EXPECT_EQ(store->integerForKey("MaxBottle"), 5);
    EXPECT_FALSE(store->boolForKey("MainMonitorOnly"));
    EXPECT_EQ(store->stringForKey("BGPath"), "/srv/pictures/");
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(Catalogue().types[i].selected);
    }
}

TEST_F(SheetTest, UnselectedRowsAreStoredByFileNameInCatalogueOrder) {
    WriteStore(kStore);
    Open(5);
    ASSERT_EQ(Catalogue().numTypes, 5);
    const int off1 = RowOfFile("bottle1.brew"), off3 = RowOfFile("bottle3.brew");
    controller->configureSheet_selectAll();
    sheet.table.selected.erase(off1);
    sheet.table.selected.erase(off3);
    ASSERT_TRUE(controller->configureSheet_save());

    const std::string first = off1 < off3 ? "bottle1.brew" : "bottle3.brew";
    const std::string second = off1 < off3 ? "bottle3.brew" : "bottle1.brew";
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), first + "#" + second + "###");
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(Catalogue().types[i].selected, i != off1 && i != off3) << i;
    }

    // With no row selected the text switches nothing off, and the types
    // keep their flags.
    controller->configureSheet_selectNone();
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), "##");
    EXPECT_FALSE(Catalogue().types[off1].selected);
}

TEST_F(SheetTest, AChosenFolderStaysInTheRecordButReachesTheStoreOnlyBySaving) {
    WriteStore(kStore);
    Open(1);
    std::vector<std::string> asked;
    std::optional<std::string> answer = "/home/me/Pictures";
    controller->runOpenPanel = [&](const std::string& title, const std::string& start,
                                   const std::vector<std::string>&) {
        asked.push_back(title + "|" + start);
        return answer;
    };
    controller->configureSheet_bgpath();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "Select Folder To Load Random Background Images From|/srv/pictures/");
    EXPECT_STREQ(view->mySettings.BGPath, "/home/me/Pictures");
    EXPECT_EQ(sheet.bgPath.value, "/home/me/Pictures");

    controller->configureSheet_cancel();
    EXPECT_STREQ(view->mySettings.BGPath, "/home/me/Pictures");
    EXPECT_EQ(Store()->stringForKey("BGPath"), "/srv/pictures/");

    // The bottle folder goes into the record only; a dismissed chooser
    // changes nothing; an overlong folder is cut to fit.
    answer = "/media/bottles";
    controller->configureSheet_directory();
    EXPECT_EQ(asked.back(), "Select Bottle Data Folder|" + UserBottleFolder());
    EXPECT_STREQ(view->mySettings.BottlePath2, "/media/bottles");
    EXPECT_EQ(sheet.directory.value, "/media/bottles");
    answer = std::nullopt;
    controller->configureSheet_directory();
    EXPECT_STREQ(view->mySettings.BottlePath2, "/media/bottles");
    answer = "/" + std::string(SETTINGS_PATH_SIZE + 10, 'p');
    controller->configureSheet_bgpath();
    EXPECT_EQ(std::strlen(view->mySettings.BGPath), size_t(SETTINGS_PATH_SIZE - 1));
    EXPECT_EQ(Store()->stringForKey("BGPath"), "/srv/pictures/");
}

TEST_F(SheetTest, WithoutAScenePreviewSavingKeepsTheStoredChoiceOfTypes) {
    WriteStore(std::string(kStore) + "BottleSelection=gone.brew###\n");
    Open(0); // no resource container, no bottle files
    EXPECT_NE(view->setupError, "");
    EXPECT_TRUE(sheet.table.rows.empty());
    EXPECT_NE(sheet.status.value.find(view->setupError), std::string::npos) << sheet.status.value;
    sheet.volume.value = 12;
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), "gone.brew###");
    EXPECT_EQ(Store()->integerForKey("Volume"), 12);
}

TEST_F(SheetTest, BeforeTheFirstFrameTheTableIsEmptyAndTheSelectionKept) {
    WriteStore(std::string(kStore) + "BottleSelection=bottle0.brew###\n");
    Open(2, false);
    EXPECT_TRUE(sheet.table.rows.empty());
    controller->configureSheet_defaults();
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), "bottle0.brew###");
}

TEST_F(SheetTest, ASaveThatCannotBeWrittenKeepsTheSheetOpenAndSaysWhy) {
    WriteStore(kStore);
    Open(1);
    // A file where the store's folder should be: no one can write there.
    const std::string blocked = home / "blocked";
    std::ofstream(blocked) << "x";
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    EXPECT_FALSE(controller->configureSheet_save());
    EXPECT_EQ(ended, 0);
    EXPECT_NE(sheet.status.value.find("could not be saved"), std::string::npos)
        << sheet.status.value;
}

TEST_F(SheetTest, AFailedCaptureStillShowsAndSavesTheCaptureKind) {
    WriteStore("[dwTumblixSS]\nversion=1.0\nBGType=0\nBottleSize=50\n");
    Open(1);
    view->mySettings.BGTYPE = BG_DESKTOP_PICTURE; // as a failed capture leaves it
    controller->configureSheet();
    EXPECT_EQ(sheet.bgType.selected, 0);
    EXPECT_NE(sheet.status.value, "");
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->integerForKey("BGType"), 0);
}

TEST_F(SheetTest, TheWebPageOpensOnlyAnHttpAddress) {
    WriteStore(kStore);
    Open(1);
    std::vector<std::string> opened;
    controller->openURL = [&](const std::string& address, std::string*) {
        opened.push_back(address);
        return true;
    };
    controller->configureSheet_openwebsite();
    const auto setServer = [&](const std::string& value) {
        auto store = Store();
        store->setObject(value, "WebServer");
        ASSERT_TRUE(store->synchronize());
    };
    setServer(" https://Example.org:9000/ ");
    controller->configureSheet_openwebsite();
    for (const char* refused :
         {"file:///etc/passwd", "javascript:alert(1)", "http://", "http:///x", "http://a b"}) {
        setServer(refused);
        controller->configureSheet_openwebsite();
        EXPECT_NE(sheet.status.value.find("not an http or https address"), std::string::npos)
            << refused;
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"http://127.0.0.1:8018/mac/tumblix/",
                                                "https://Example.org:9000/mac/tumblix/"}));

    setServer("http://127.0.0.1:8018");
    controller->openURL = [](const std::string&, std::string* error) {
        *error = "no browser";
        return false;
    };
    controller->configureSheet_openwebsite();
    EXPECT_EQ(sheet.status.value, "Cannot open http://127.0.0.1:8018/mac/tumblix/: no browser");
}

TEST_F(SheetTest, DownloadButtonsWaitForTheDownloadActions) {
    WriteStore(kStore);
    Open(1);
    EXPECT_FALSE(sheet.checkDownloads.enabled);
    EXPECT_FALSE(sheet.download.enabled);
    EXPECT_FALSE(sheet.downloads.enabled);
    EXPECT_NE(sheet.downloadText.value, "");

    int checks = 0;
    controller->onCheckDownloads = [&] { checks++; };
    controller->onDownload = [] {};
    sheet.downloadText.value.clear();
    controller->configureSheet();
    EXPECT_TRUE(sheet.checkDownloads.enabled);
    EXPECT_FALSE(sheet.download.enabled) << "nothing listed to download yet";
    EXPECT_EQ(sheet.downloadText.value, "");
    controller->configureSheet_checkdownloads();
    EXPECT_EQ(checks, 1);
}

} // namespace
