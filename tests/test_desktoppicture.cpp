#include "GLFixture.h"
#include "RunTool.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "host/DesktopServices.h"
#include "host/TumblixView.h"
#include "host/platform/DesktopPicture.h"
#include "host/platform/PictureReader.h"
#include "scene/SSMain.h"

#include <fstream>
#include <gio/gio.h>
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

// The desktop picture of background kind 1: what each desktop's settings
// name, and what the view makes of the path it is given.

namespace {

// Schemas as the desktops install them, cut to the keys we read.
const char* kSchemas = R"(<schemalist>
  <enum id="test.ColorScheme">
    <value nick="default" value="0"/>
    <value nick="prefer-dark" value="1"/>
    <value nick="prefer-light" value="2"/>
  </enum>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-uri-dark" type="s"><default>''</default></key>
  </schema>
  <schema id="org.gnome.desktop.interface" path="/org/gnome/desktop/interface/">
    <key name="color-scheme" enum="test.ColorScheme"><default>'default'</default></key>
  </schema>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>''</default></key>
  </schema>
</schemalist>)";

// A background schema of an older desktop that lacks the key.
const char* kOldGnomeSchema = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>)";

// Each desktop's settings, written by the test into a temporary home: its
// GSettings (GLib's keyfile backend, as GSETTINGS_BACKEND=keyfile keeps
// them) or its own files. Every picture named exists unless a test says.
class DesktopPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        config = tmp.Subdir("config");
        UseSchemas(kSchemas);
        for (const char* name : {"a.png", "b.png", "c.png", "d.png", "My Lake.jpg"}) {
            std::ofstream(tmp / name) << "picture";
        }
    }
    void TearDown() override { Release(); }
    void Release() {
        if (query.schemas != nullptr) {
            g_settings_schema_source_unref(query.schemas);
        }
        if (query.backend != nullptr) {
            g_object_unref(query.backend);
        }
        query.schemas = nullptr;
        query.backend = nullptr;
    }
    // Compiles a schema file into a folder of its own and opens it as the
    // only schema source, with settings in a keyfile under the home.
    void UseSchemas(const char* text) {
        Release();
        const std::string dir = tmp.Subdir("schemas" + std::to_string(++folders));
        std::ofstream(dir + "/test.gschema.xml") << text;
        ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(dir)).status, 0);
        GError* error = nullptr;
        query.schemas =
            g_settings_schema_source_new_from_directory(dir.c_str(), nullptr, FALSE, &error);
        ASSERT_NE(query.schemas, nullptr) << (error ? error->message : "");
        query.backend = g_keyfile_settings_backend_new((config + "/keyfile").c_str(), "/", nullptr);
        query.configHome = config;
    }
    void Set(const char* schemaId, const char* key, const std::string& value) {
        GSettingsSchema* schema = g_settings_schema_source_lookup(query.schemas, schemaId, FALSE);
        ASSERT_NE(schema, nullptr) << schemaId;
        GSettings* settings = g_settings_new_full(schema, query.backend, nullptr);
        ASSERT_TRUE(g_settings_set_string(settings, key, value.c_str()));
        g_settings_sync();
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    void WriteFile(const std::string& relative, const std::string& text) {
        const std::string path = config + "/" + relative;
        ASSERT_EQ(RunTool("mkdir -p " + Quote(path.substr(0, path.rfind('/')))).status, 0);
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string Picture(const std::string& desktops, int monitor = 0,
                        const std::string& monitorName = "") {
        query.desktops = desktops;
        query.monitor = monitor;
        query.monitorName = monitorName;
        return DesktopPictureFor(query);
    }

    TempDir tmp;
    std::string config;
    int folders = 0;
    DesktopPictureQuery query;
};

TEST_F(DesktopPictureTest, GSettingsDesktopsEachReadTheirOwnSchema) {
    // Nothing set anywhere: no picture, for every desktop.
    for (const char* desktop : {"GNOME", "X-Cinnamon", "MATE", "XFCE", "KDE", "", "Sway"}) {
        EXPECT_EQ(Picture(desktop), "") << desktop;
    }
    Set("org.gnome.desktop.background", "picture-uri", "file://" + tmp / "My%20Lake.jpg");
    Set("org.cinnamon.desktop.background", "picture-uri", "file://localhost" + tmp / "b.png");
    Set("org.mate.background", "picture-filename", tmp / "c.png");
    const struct {
        const char* desktops;
        std::string picture;
    } cases[] = {
        {"GNOME", tmp / "My Lake.jpg"},
        {"ubuntu:GNOME", tmp / "My Lake.jpg"},
        {"X-Cinnamon", tmp / "b.png"},
        {"Cinnamon", tmp / "b.png"},
        {"MATE", tmp / "c.png"},
        {"mate", tmp / "c.png"},
        {"", tmp / "My Lake.jpg"},
        {"Sway", tmp / "My Lake.jpg"},
        {"Budgie:GNOME", tmp / "My Lake.jpg"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Picture(c.desktops), c.picture) << c.desktops;
    }
}

TEST_F(DesktopPictureTest, GnomeAddressesAndTheDarkStyle) {
    const char* id = "org.gnome.desktop.background";
    Set(id, "picture-uri", "file://" + tmp / "a.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-dark");
    EXPECT_EQ(Picture("GNOME"), tmp / "a.png") << "no dark picture: the ordinary one";
    Set(id, "picture-uri-dark", tmp / "b.png"); // a plain path works too
    EXPECT_EQ(Picture("GNOME"), tmp / "b.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-light");
    EXPECT_EQ(Picture("GNOME"), tmp / "a.png");
    for (const std::string& notLocal :
         {std::string("https://example.org/a.jpg"), std::string("resource:///org/x/bg.png"),
          std::string("a.png"), "file://otherhost" + tmp / "a.png", "file://" + tmp / "gone.png"}) {
        Set(id, "picture-uri", notLocal);
        EXPECT_EQ(Picture("GNOME"), "") << notLocal;
    }
    // A schema without the key, or no schema at all: no picture.
    UseSchemas(kOldGnomeSchema);
    EXPECT_EQ(Picture("GNOME"), "");
    EXPECT_EQ(Picture("MATE"), "");
}

const char* kXfceChannel = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-desktop" version="1.0">
  <property name="backdrop" type="empty">
    <property name="screen0" type="empty">
      <property name="monitorHDMI-1" type="empty">
        <property name="workspace1" type="empty">
          <property name="last-image" type="string" value="PICTURE_D"/>
        </property>
        <property name="workspace0" type="empty">
          <property name="color-style" type="int" value="0"/>
          <property name="last-image" type="string" value="PICTURE_A"/>
        </property>
      </property>
      <property name="monitor1" type="empty">
        <property name="workspace0" type="empty">
          <property name="last-image" type="string" value="PICTURE_B"/>
        </property>
      </property>
    </property>
  </property>
  <property name="last-image" type="string" value="PICTURE_C"/>
</channel>
)";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

const char* kXfceFile = "xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml";

TEST_F(DesktopPictureTest, XfceReadsTheFirstWorkspaceOfOurMonitor) {
    std::string channel = Replace(kXfceChannel, "PICTURE_A", tmp / "a.png");
    channel = Replace(channel, "PICTURE_B", "file://" + tmp / "b.png");
    channel = Replace(channel, "PICTURE_C", tmp / "c.png");
    channel = Replace(channel, "PICTURE_D", tmp / "d.png");
    WriteFile(kXfceFile, channel);
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), tmp / "a.png"); // by output name
    EXPECT_EQ(Picture("XFCE", 1, "DP-2"), tmp / "b.png");   // by number, as Xfce 4.12 kept it
    EXPECT_EQ(Picture("XFCE", 1, "HDMI-1"), tmp / "a.png") << "the name goes before the number";
    // A monitor with none of its own shows any monitor's first workspace.
    EXPECT_EQ(Picture("XFCE", 5, "VGA-1"), tmp / "a.png");

    const std::string onlyB =
        Replace(Replace(kXfceChannel, "monitorHDMI-1", "monitorX"), "PICTURE_B", tmp / "b.png");
    WriteFile(kXfceFile, onlyB);
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), tmp / "b.png") << "PICTURE_A names no file";
    WriteFile(kXfceFile, Replace(kXfceChannel, "PICTURE_A", tmp / "gone.png"));
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), "") << "our own picture is gone";
}

const char* kPlasmaApplets = R"([ActionPlugins][0]
RightButton;NoModifier=org.kde.contextmenu

[Containments][1]
activityId=ACT-1
formfactor=2
lastScreen=0
location=4
plugin=org.kde.panel
wallpaperplugin=org.kde.image

[Containments][1][Wallpaper][org.kde.image][General]
Image=PANEL

[Containments][7]
activityId=ACT-1
formfactor=0
lastScreen=1
location=0
plugin=org.kde.plasma.folder
wallpaperplugin=org.kde.image

[Containments][7][Wallpaper][org.kde.image][General]
Image=SCREEN_1

[Containments][8]
activityId=ACT-2
formfactor=0
lastScreen=0
plugin=org.kde.plasma.folder
wallpaperplugin=org.kde.image

[Containments][8][Wallpaper][org.kde.image][General]
Image=SCREEN_0_ACT_2

[Containments][9]
activityId=ACT-1
formfactor=0
lastScreen=0
plugin=org.kde.plasma.folder
wallpaperplugin=org.kde.image

[Containments][9][Wallpaper][org.kde.image][General]
Image=SCREEN_0_ACT_1

[Containments][9][Wallpaper][org.kde.color][General]
Color=0,0,0
)";

TEST_F(DesktopPictureTest, KdeReadsTheDesktopOfOurScreenAndActivity) {
    std::string applets = Replace(kPlasmaApplets, "PANEL", tmp / "d.png");
    applets = Replace(applets, "SCREEN_1", "file://" + tmp / "My%20Lake.jpg");
    applets = Replace(applets, "SCREEN_0_ACT_2", tmp / "b.png");
    applets = Replace(applets, "SCREEN_0_ACT_1", tmp / "a.png");
    const char* file = "plasma-org.kde.plasma.desktop-appletsrc";
    WriteFile(file, applets);
    EXPECT_EQ(Picture("KDE", 1), tmp / "My Lake.jpg");
    EXPECT_EQ(Picture("KDE", 0), tmp / "b.png") << "no activity known: the first on our screen";
    WriteFile("kactivitymanagerdrc", "[main]\ncurrentActivity=ACT-1\n");
    EXPECT_EQ(Picture("KDE", 0), tmp / "a.png");
    EXPECT_EQ(Picture("KDE", 3), tmp / "My Lake.jpg") << "a screen without a desktop: any";
    // Plasma's own wallpapers are folders of one picture in several sizes.
    const std::string package = tmp.Subdir("Next");
    const std::string images = tmp.Subdir("Next/contents/images");
    for (const char* size : {"1280x1024.png", "5120x2880.jpg", "1920x1080.jpg", "9000x9000"}) {
        std::ofstream(images + "/" + size) << "picture";
    }
    ASSERT_EQ(
        RunTool("rm " + Quote(images + "/9000x9000") + " && mkdir " + Quote(images + "/9000x9000"))
            .status,
        0);
    WriteFile(file, Replace(applets, tmp / "a.png", "file://" + package + "/"));
    EXPECT_EQ(Picture("KDE", 0), images + "/5120x2880.jpg");
    // A desktop that shows something other than a picture is passed over.
    WriteFile(file, Replace(applets, "wallpaperplugin=org.kde.image\n\n[Containments][9]",
                            "wallpaperplugin=org.kde.color\n\n[Containments][9]"));
    EXPECT_EQ(Picture("KDE", 1), tmp / "My Lake.jpg");
}

TEST_F(DesktopPictureTest, DamagedHugeOrStrangeSettingsNameNoPicture) {
    const std::string good =
        Replace(Replace(kXfceChannel, "PICTURE_A", tmp / "a.png"), "monitorHDMI-1", "monitor0");
    WriteFile(kXfceFile, good);
    ASSERT_EQ(Picture("XFCE"), tmp / "a.png");
    const std::string appletsrc = "[Containments][2]\nlastScreen=0\n\n"
                                  "[Containments][2][Wallpaper][org.kde.image][General]\n"
                                  "Image=" +
                                  tmp / "a.png" + "\n";
    WriteFile("plasma-org.kde.plasma.desktop-appletsrc", appletsrc);
    ASSERT_EQ(Picture("KDE"), tmp / "a.png");

    const std::string huge = good + "<!--" + std::string(5 << 20, 'x') + "-->";
    const struct {
        std::string xfce, kde;
    } bad[] = {
        {good.substr(0, good.size() / 2), "[Containments][2\nImage=" + tmp / "a.png"},
        {Replace(good, "encoding=\"UTF-8\"?>", "encoding=\"UTF-8\"?>\xff\xfe"),
         std::string("\xff\xfe[\0C\0]\0\n\0", 10) + appletsrc},
        {huge, appletsrc + "[big]\nx=" + std::string(5 << 20, 'x') + "\n"},
        {Replace(good, tmp / "a.png", "file://" + tmp / "a.png\xff"),
         Replace(appletsrc, tmp / "a.png", tmp / "a.png\xff")},
    };
    for (const auto& b : bad) {
        WriteFile(kXfceFile, b.xfce);
        EXPECT_EQ(Picture("XFCE"), "") << b.xfce.substr(0, 200);
        WriteFile("plasma-org.kde.plasma.desktop-appletsrc", b.kde);
        EXPECT_EQ(Picture("KDE"), "") << b.kde.substr(0, 200);
    }
    // A settings file that is not a file at all is never read.
    ASSERT_EQ(RunTool("rm -f " + Quote(config + "/" + kXfceFile) + " && mkfifo " +
                      Quote(config + "/" + kXfceFile))
                  .status,
              0);
    EXPECT_EQ(Picture("XFCE"), "");
}

TEST_F(DesktopPictureTest, APictureThatIsNotARegularFileIsNeverNamed) {
    ASSERT_EQ(RunTool("mkfifo " + Quote(tmp / "fifo.png")).status, 0);
    ASSERT_EQ(RunTool("mkdir " + Quote(tmp / "folder.png")).status, 0);
    ASSERT_EQ(RunTool("ln -s a.png " + Quote(tmp / "link.png")).status, 0);
    const char* id = "org.mate.background";
    for (const std::string& notAFile : {tmp / "fifo.png", tmp / "folder.png",
                                        std::string("/dev/zero"), std::string("/dev/null")}) {
        Set(id, "picture-filename", notAFile);
        EXPECT_EQ(Picture("MATE"), "") << notAFile; // and returns: a FIFO is not waited on
    }
    Set(id, "picture-filename", tmp / "link.png");
    EXPECT_EQ(Picture("MATE"), tmp / "link.png") << "a link to a picture is fine";
}

// What the view does with the desktop's answer.
struct FakeSource {
    static inline std::string path;
    static inline int askedFor = -1;
    static std::string Answer(int screenNumber, const NSRect&) {
        askedFor = screenNumber;
        return path;
    }
};

class ViewDesktopPicture : public GLFixture {
  protected:
    void SetUp() override {
        GLFixture::SetUp();
        InstallPictureReader();
        saverfiles::UseUserFolders(tmp.path());
        resources = tmp.Subdir("res");
        saverfiles::WriteResources(resources, 1, kFallback);
        saverfiles::WritePreferences(saverfiles::Prefs{false, 1, 1, 0, false, {}});
        ASSERT_EQ(getcwd(cwd, sizeof cwd), cwd);
        ASSERT_EQ(chdir(tmp.path().c_str()), 0);
        WritePlainPicture(tmp / "x.png", kNamed); // five bytes
        WritePlainPicture(tmp / "y.pn", kShort);  // four bytes
        SetDesktopPictureSource(FakeSource::Answer);
        FakeSource::askedFor = -1;
    }
    void TearDown() override {
        SetDesktopPictureSource(nullptr);
        EXPECT_EQ(chdir(cwd), 0);
        GLFixture::TearDown();
    }
    // The background the scene was handed, by its first texel.
    RGBA BackgroundFor(const std::string& path) {
        FakeSource::path = path;
        TumblixView view(NSRect{0, 0, 64, 64}, false, &window, resources);
        view.screenNumber = 2;
        view.mainScreenNumber = 2;
        EXPECT_TRUE(view.mainSetup()) << view.setupError;
        EXPECT_EQ(FakeSource::askedFor, 2);
        RGBA texel;
        if (view.ssMain == nullptr || view.ssMain->bgTexture == 0) {
            return texel;
        }
        std::vector<RGBA> texels(512 * 512);
        glBindTexture(GL_TEXTURE_2D, view.ssMain->bgTexture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        return texels[0];
    }

    static constexpr RGBA kFallback{200, 0, 200, 255}, kNamed{0, 200, 0, 255},
        kShort{200, 0, 0, 255};
    TempDir tmp;
    std::string resources;
    char cwd[4096] = {};
};

// A relative path of five bytes or more is loaded; a shorter one, or a
// file that is gone or no picture, leaves the fallback.
TEST_F(ViewDesktopPicture, APictureThatCannotBeReadFallsBack) {
    std::ofstream(tmp / "slideshow.xml") << "<background><static/></background>";
    const std::pair<std::string, RGBA> cases[] = {
        {"x.png", kNamed},       {"y.pn", kFallback},           {"", kFallback},
        {tmp / "x.png", kNamed}, {tmp / "gone.jpg", kFallback}, {tmp / "slideshow.xml", kFallback},
    };
    for (const auto& [path, shows] : cases) {
        EXPECT_TRUE(saverfiles::Near(BackgroundFor(path), shows, 0)) << path;
    }
    SetDesktopPictureSource(nullptr);
    FakeSource::path = "x.png";
    TumblixView view(NSRect{0, 0, 64, 64}, false, &window, resources);
    ASSERT_TRUE(view.mainSetup());
    EXPECT_NE(view.ssMain->bgTexture, 0u) << "no desktop: the fallback picture";
}

} // namespace
