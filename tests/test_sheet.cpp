#include "ChildProcess.h"
#include "FakeControls.h"
#include "GLFixture.h"
#include "SaverFiles.h"
#include "SceneFiles.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "host/HostClock.h"
#include "host/SettingsIO.h"
#include "host/SheetController.h"
#include "host/TumblixView.h"
#include "host/platform/files/AutostartEntry.h"
#include "host/platform/files/PreferenceStore.h"
#include "scene/SSMain.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <set>

// The settings sheet's logic through plain controls over a real preview view.

namespace {

template <class Kind> class Plain : public Kind {
  public:
    void setEnabled(bool e) override { enabled = e; }
    bool isEnabled() const override { return enabled; }
    bool enabled = true;
};

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
struct PlainColour : Plain<ColourWell> {
    SheetColour color() const override { return value; }
    void setColor(const SheetColour& c) override { value = c; }
    void closePanel() override { panelOpen = false; }
    SheetColour value;
    bool panelOpen = false;
};
struct PlainTable : Plain<BottleTable> {
    void setDataSource(const TableDataSource* s) override { source = s; }
    void reloadData() override {
        rows.clear();
        for (int i = 0; i < source->numberOfRowsInTableView(); i++)
            rows.push_back(source->tableView_objectValueForRow(i));
    }
    void selectRowIndexes(const std::vector<int>& r) override {
        selected.clear();
        for (int i : r)
            if (i >= 0 && size_t(i) < rows.size())
                selected.insert(i);
    }
    void selectAll() override {
        for (size_t i = 0; i < rows.size(); i++)
            selected.insert(int(i));
    }
    void deselectAll() override { selected.clear(); }
    bool isRowSelected(int row) const override { return selected.count(row) != 0; }
    const TableDataSource* source = nullptr;
    std::vector<std::string> rows;
    std::set<int> selected;
};

struct Sheet {
    Journal journal;
    Fake save{journal, "save"}, checkDownloads{journal, "check"}, download{journal, "download"};
    PlainCheck mainMonitorOnly, goodShine, drunkenBG, playSound, showClock, clock12, showCountdown;
    PlainNumber maxBottle, bottleSize, volume, cdHr, cdMin;
    Fake cdHrTxt{journal, "hour"}, cdMinTxt{journal, "minute"}, downloadText{journal, "text"},
        status{journal, "status"};
    Fake bgType{journal, "kind", SheetRanges::BGTypeEntries},
        bgRes{journal, "detail", SheetRanges::BGResEntries}, downloads{journal, "downloads"};
    Fake bgPath{journal, "pictures"}, directory{journal, "folder"};
    PlainColour colour;
    Fake progress{journal, "progress"};
    PlainTable table;
    PlainNumber idleMinutes;
    Journal idleJournal; // apart: the note is not one of the journal's controls
    Fake idleNote{idleJournal, "idle note"};

    SheetOutlets Outlets() {
        return {&save,      &mainMonitorOnly, &table,          &maxBottle,
                &goodShine, &drunkenBG,       &bottleSize,     &playSound,
                &bgType,    &bgRes,           &bgPath,         &colour,
                &volume,    &showClock,       &clock12,        &showCountdown,
                &cdHr,      &cdMin,           &cdHrTxt,        &cdMinTxt,
                &directory, &downloads,       &checkDownloads, &progress,
                &download,  &downloadText,    &idleMinutes,    &idleNote,
                &status};
    }
};

const char* const kStore = "[dwTumblixSS]\nversion=1.0\nMainMonitorOnly=true\nBottleSize=80\n"
                           "MaxBottle=3\nGoodShine=false\nDrunkenBG=true\nBGType=2\nBGRes=0\n"
                           "PlaySound=false\nBGPath=/srv/pictures/\nVolume=70\nShowClock=true\n"
                           "Clock12Hr=true\nShowCountdown=true\nCDHr=9\nCDMin=45\nBGColR=0.25\n"
                           "BGColG=0.5\nBGColB=0.75\n";

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

    std::unique_ptr<ScreenSaverDefaults> Store() const {
        return ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    }

    // A preview view over `bottles` generated types and the stored record,
    // its scene set up by its first tick, and the sheet filled.
    void Open(int bottles, const std::string& record = kStore) {
        std::filesystem::create_directories(home / "config/dwTumblixSS");
        std::ofstream(home / "config/dwTumblixSS/preferences.ini", std::ios::binary) << record;
        scenefiles::WriteResources(resources);
        scenefiles::WriteBottles(resources, bottles);
        const NSRect frame{0, 0, double(viewWidth), double(viewHeight)};
        view = std::make_unique<TumblixView>(frame, true, &window, resources);
        view->seed = 7;
        view->startAnimation();
        view->animateOneFrame();
        controller = std::make_unique<SheetController>(*view, sheet.Outlets());
        controller->endSheet = [this] { ended++; };
        controller->configureSheet();
    }
    MAINCLASS& Catalogue() const { return *view->ssMain->bottleManager; }

    TempDir home;
    std::string resources;
    Sheet sheet;
    std::unique_ptr<TumblixView> view;
    std::unique_ptr<SheetController> controller;
    int ended = 0;
};

TEST_F(SheetTest, FillsTheControlsFromTheRecordAndListsTheCatalogue) {
    Open(3, std::string(kStore) + "BottleSelection=bottle1.brew###\n");
    ASSERT_EQ(view->setupError, "");
    EXPECT_EQ(sheet.mainMonitorOnly.value, 1);
    EXPECT_EQ(sheet.bottleSize.value, 80);
    EXPECT_EQ(sheet.goodShine.value, 0);
    EXPECT_EQ(sheet.bgType.selected, 2);
    EXPECT_EQ(sheet.bgRes.selected, 0);
    EXPECT_EQ(sheet.cdMinTxt.value, "45");
    EXPECT_FLOAT_EQ(sheet.colour.value.green, 0.5);
    EXPECT_EQ(sheet.directory.value, UserBottleFolder());

    // One row per catalogue entry, by display name, selected where the type
    // is switched on.
    ASSERT_EQ(sheet.table.rows.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(sheet.table.rows[size_t(i)], Catalogue().types[i].name);
        EXPECT_EQ(sheet.table.isRowSelected(i),
                  std::string(Catalogue().types[i].fileName) != "bottle1.brew")
            << Catalogue().types[i].fileName;
    }
}

TEST_F(SheetTest, OutOfRangeValuesAreShownClampedAndSavedAsShown) {
    Open(2, "[dwTumblixSS]\nversion=1.0\nBottleSize=500\nMaxBottle=-4\nVolume="
            "300\nCDHr=30\n"
            "CDMin=-5\nBGType=7\nBGRes=9\nBGColR=2.5\nBGColG=-1\nBGColB=0.5\n");
    EXPECT_EQ(sheet.cdHrTxt.value, "23");
    EXPECT_EQ(sheet.bgType.selected, 3);
    EXPECT_EQ(sheet.bgRes.selected, 2); // any other detail is the largest
    ASSERT_TRUE(controller->configureSheet_save());
    const auto store = Store();
    const std::pair<const char*, int> saved[] = {
        {"BottleSize", 200}, {"MaxBottle", 0}, {"Volume", 255}, {"CDHr", 23},
        {"CDMin", 0},        {"BGType", 3},    {"BGRes", 2}};
    for (auto [key, value] : saved)
        EXPECT_EQ(store->integerForKey(key), value) << key;
    EXPECT_EQ(store->floatForKey("BGColR"), 1.0f);
    EXPECT_EQ(store->floatForKey("BGColG"), 0.0f);
    EXPECT_EQ(view->mySettings.LBOTTLESIZE, 200);
    EXPECT_EQ(ended, 1);
}

TEST_F(SheetTest, UnselectedRowsAreStoredByFileNameInCatalogueOrderChosenFoldersCutToFit) {
    Open(5);
    ASSERT_EQ(Catalogue().numTypes, 5);
    const int off1 = Catalogue().FindBottle("bottle1.brew"),
              off3 = Catalogue().FindBottle("bottle3.brew");
    controller->configureSheet_selectAll();
    sheet.table.selected.erase(off1);
    sheet.table.selected.erase(off3);
    ASSERT_TRUE(controller->configureSheet_save());

    const std::string first = off1 < off3 ? "bottle1.brew" : "bottle3.brew";
    const std::string second = off1 < off3 ? "bottle3.brew" : "bottle1.brew";
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), first + "#" + second + "###");
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(Catalogue().types[i].selected, i != off1 && i != off3) << i;

    // With no row selected the text switches nothing off, and the types
    // keep their flags; the defaults select every row.
    controller->configureSheet_selectNone();
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->stringForKey("BottleSelection"), "##");
    EXPECT_FALSE(Catalogue().types[off1].selected);
    controller->configureSheet_defaults();
    EXPECT_EQ(sheet.table.selected.size(), 5u);
    EXPECT_EQ(sheet.bottleSize.value, 50);
    EXPECT_FALSE(sheet.cdHr.enabled) << "the states follow the defaults";
    EXPECT_EQ(sheet.bgPath.value, "/srv/pictures/") << "the picture folder is kept";

    // A chosen folder goes into the record, cut to fit.
    std::vector<std::string> asked;
    std::optional<std::string> answer = "/home/me/Pictures";
    controller->runOpenPanel = [&](const std::string& title, const std::string& start,
                                   const std::vector<std::string>&) {
        asked.push_back(title + "|" + start);
        return answer;
    };
    controller->configureSheet_bgpath();
    EXPECT_EQ(asked.back(), "Select Folder To Load Random Background Images From|/srv/pictures/");
    EXPECT_STREQ(view->mySettings.BGPath, "/home/me/Pictures");
    EXPECT_EQ(sheet.bgPath.value, "/home/me/Pictures");
    answer = "/media/bottles";
    controller->configureSheet_directory();
    EXPECT_EQ(asked.back(), "Select Bottle Data Folder|" + UserBottleFolder());
    EXPECT_STREQ(view->mySettings.BottlePath2, "/media/bottles");
    answer = std::nullopt; // dismissed
    controller->configureSheet_directory();
    EXPECT_STREQ(view->mySettings.BottlePath2, "/media/bottles");
    answer = "/" + std::string(SETTINGS_PATH_SIZE + 10, 'p');
    controller->configureSheet_bgpath();
    EXPECT_EQ(std::strlen(view->mySettings.BGPath), size_t(SETTINGS_PATH_SIZE - 1));
}

} // namespace

// The real frame pump of a view, ticked by hand on the simulated clock.

namespace {

const double kThreshold = 0.01666666753590107; // 1/60 in single precision

class FramePumpTest : public GLFixture {
  protected:
    FramePumpTest() : GLFixture(96, 64) {}
    void SetUp() override {
        GLFixture::SetUp();
        if (HasFatalFailure())
            return;
        saverfiles::UseUserFolders(tmp.path());
        saverfiles::Prefs prefs;
        prefs.maxBottles = 2;
        saverfiles::WritePreferences(prefs);
        saverfiles::WriteResources(tmp.Subdir("res"), 2, RGBA{0, 0, 0, 255});
        HostClock::UseSimulated(1700000000);
        const NSRect frame{0, 0, double(viewWidth), double(viewHeight)};
        view = std::make_unique<TumblixView>(frame, false, &window, tmp / "res");
        view->seed = 7;
        view->startAnimation();
    }
    void TearDown() override {
        view.reset();
        HostClock::UseSystem();
        GLFixture::TearDown();
    }
    // Advances the clock and runs one tick; true when it drew a frame.
    bool Tick(double seconds) {
        HostClock::Advance(seconds);
        const long before = view->framesDrawn;
        view->animateOneFrame();
        return view->framesDrawn == before + 1;
    }

    TempDir tmp;
    std::unique_ptr<TumblixView> view;
};

} // namespace

TEST_F(FramePumpTest, DrawsOnlyAfterASixtiethAndRestartsAfterTwoSeconds) {
    // The first tick sets the scene up; its clock starts then, so nothing is
    // drawn.
    HostClock::Advance(5.0);
    view->animateOneFrame();
    ASSERT_NE(view->ssMain, nullptr) << view->setupError;
    EXPECT_EQ(view->framesDrawn, 0);
    EXPECT_EQ(view->animtime, 5.0);

    // Each row: the gap before the tick, whether it draws, and the frame time
    // the scene is given (the time since the last drawn frame).
    struct Row {
        double gap;
        bool drawn;
        double frameTime;
    } rows[] = {
        {1.0 / 32, true, 1.0 / 32},
        {0.0166, false, 0},
        {0.0166, true, 0.0332}, // measured from the last drawn frame
        {kThreshold, false, 0}, // exactly a sixtieth is not more than one
        {1.0 / 1024, true, kThreshold + 1.0 / 1024},
        {0.01, false, 0},
        {0.01, true, 0.02},
        {2.0, true, 2.0},           // two seconds still draw, the whole gap
        {2.0 + 1.0 / 64, false, 0}, // a longer gap restarts the clock...
        {1.0 / 16, true, 1.0 / 16}, // ...and the next frame measures from the skipped tick
        {3.0, false, 0},
        {0.0166, false, 0},
        {0.0166, true, 0.0332},
    };
    double now = HostClock::Now(), lastDrawn = view->animtime;
    for (const Row& r : rows) {
        const double frameTime = view->ssMain->frameTime;
        now += r.gap;
        EXPECT_EQ(Tick(r.gap), r.drawn) << "gap " << r.gap;
        if (r.drawn) {
            EXPECT_NEAR(view->ssMain->frameTime, r.frameTime, 1e-9) << "gap " << r.gap;
            lastDrawn = now;
        } else {
            EXPECT_EQ(view->ssMain->frameTime, frameTime) << "an undrawn tick moves nothing";
            if (r.gap > 2.0)
                lastDrawn = now;
        }
        EXPECT_DOUBLE_EQ(view->animtime, lastDrawn) << "gap " << r.gap;
    }
}

TEST_F(FramePumpTest, AResizeRunsOnlyTheGLSetUpAgain) {
    RGBA corner;
    view->onFrameDrawn = [&] { corner = ReadPixel(0, 0); };
    Tick(0);
    ASSERT_TRUE(Tick(1.0 / 32));
    EXPECT_EQ(corner, (RGBA{255, 255, 255, 0})) << "the colour background";
    SSMAIN* scene = view->ssMain;
    // A mark a fresh scene would not carry.
    scene->bannerTimer = 500.0f;
    glViewport(0, 0, 1, 1);
    view->setFrameSize(48, 32);
    EXPECT_TRUE(Tick(1.0 / 32));
    ASSERT_EQ(view->ssMain, scene);
    EXPECT_NEAR(scene->bannerTimer, 500.0f - 1.0f / 32, 1e-4) << "the scene was not set up again";
    EXPECT_EQ(scene->width, 48);
    EXPECT_EQ(scene->height, 32);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 48);
    EXPECT_EQ(vp[3], 32);
    const auto projection = GetMatrix(GL_PROJECTION_MATRIX);
    EXPECT_NEAR(projection[5] / projection[0], 1.5, 1e-5) << "the perspective of the new size";
    EXPECT_EQ(corner, (RGBA{0, 0, 0, 0})) << "the GL set-up clears to black";
}

namespace {

// The idle control switches the watcher: on writes IdleMinutes and the
// user's autostart entry and starts a watcher once; off removes the entry.
// Where GNOME blanks first, one line says so.
TEST_F(SheetTest, TheIdleControlWritesTheKeyAndTheAutostartEntry) {
    Open(1);
    int started = 0;
    controller->startWatcher = [&] { started++; };
    controller->desktopBlankSeconds = [] { return 300; };
    controller->configureSheet();
    const std::string entry = home / "config/autostart/tumblix-watch.desktop";
    EXPECT_EQ(AutostartEntry::Path(), entry);
    EXPECT_EQ(sheet.idleMinutes.value, 0) << "no entry: off";
    EXPECT_EQ(sheet.idleNote.value, "");
    // Off and left off: the stored minutes (which a hand-started watcher
    // reads) stay as they were.
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(Store()->stringForKey("IdleMinutes"));
    EXPECT_EQ(started, 0);

    sheet.idleMinutes.value = 10;
    controller->configureSheet_update();
    EXPECT_NE(sheet.idleNote.value.find("GNOME blanks the screen after 5 minutes"),
              std::string::npos)
        << sheet.idleNote.value;
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->integerForKey("IdleMinutes"), 10);
    const std::string text = Contents(entry);
    EXPECT_NE(text.find("Exec=" + AutostartEntry::ThisProgram() + " --watch\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("X-GNOME-Autostart-enabled=true\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Hidden=false\n"), std::string::npos) << text;
    EXPECT_EQ(RunTool("desktop-file-validate " + Quote(entry) + " 2>&1").out, "");
    EXPECT_TRUE(AutostartEntry::Enabled());
    EXPECT_EQ(started, 1);

    // Opened again it shows the minutes; saving again starts no second
    // watcher; a delay within GNOME's says nothing.
    controller->configureSheet();
    EXPECT_EQ(sheet.idleMinutes.value, 10);
    sheet.idleMinutes.value = 4;
    controller->configureSheet_update();
    EXPECT_EQ(sheet.idleNote.value, "");
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_EQ(Store()->integerForKey("IdleMinutes"), 4);
    EXPECT_EQ(started, 1);

    sheet.idleMinutes.value = 0;
    ASSERT_TRUE(controller->configureSheet_save());
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(AutostartEntry::Enabled());
    EXPECT_EQ(Store()->integerForKey("IdleMinutes"), 0);
    EXPECT_EQ(started, 1);
}

} // namespace
