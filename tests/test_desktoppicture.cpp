#include "ChildProcess.h"
#include "GLFixture.h"
#include "SaverFiles.h"
#include "SaverProgram.h"
#include "host/DesktopServices.h"
#include "host/TumblixView.h"
#include "host/platform/files/DesktopPicture.h"
#include "host/platform/files/PictureReader.h"
#include "scene/SSMain.h"

#include <filesystem>
#include <fstream>
#include <gio/gio.h>
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

// The desktop picture of background kind 1: what each desktop's settings
// name, and what the view makes of the path it is given.

namespace {

// Schemas as the desktops install them, cut to the keys we read.
const char* kSchemas = R"(<schemalist>
  <enum id="test.ColorScheme">
    <value nick="default" value="0"/><value nick="prefer-dark" value="1"/>
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

// Each desktop's settings in a temporary home: its GSettings (in GLib's
// keyfile backend) or its own files.
class DesktopPictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        config = tmp.Subdir("config");
        for (const char* name : {"a.png", "b.png", "c.png", "d.png", "My Lake.jpg"}) {
            std::ofstream(tmp / name) << "picture";
        }
        ASSERT_NO_FATAL_FAILURE(UseSchemas(kSchemas, "schemas"));
        query.configHome = config;
    }
    // The schemas compiled into a folder of their own, the only source, and
    // settings of their own with nothing set.
    void UseSchemas(const std::string& xml, const std::string& name) {
        TearDown();
        const std::string dir = tmp.Subdir(name);
        std::ofstream(dir + "/test.gschema.xml") << xml;
        ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(dir)).status, 0);
        query.schemas =
            g_settings_schema_source_new_from_directory(dir.c_str(), nullptr, 0, nullptr);
        ASSERT_NE(query.schemas, nullptr);
        query.backend = g_keyfile_settings_backend_new((config + "/" + name).c_str(), "/", nullptr);
    }
    void TearDown() override {
        g_clear_pointer(&query.schemas, g_settings_schema_source_unref);
        g_clear_object(&query.backend);
    }
    void Set(const char* schemaId, const char* key, const std::string& value) {
        GSettingsSchema* schema = g_settings_schema_source_lookup(query.schemas, schemaId, FALSE);
        GSettings* settings = g_settings_new_full(schema, query.backend, nullptr);
        ASSERT_TRUE(g_settings_set_string(settings, key, value.c_str()));
        g_settings_sync();
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    void WriteFile(const std::string& relative, const std::string& text) {
        std::filesystem::create_directories(
            std::filesystem::path(config + "/" + relative).parent_path());
        std::ofstream(config + "/" + relative, std::ios::binary) << text;
    }
    std::string Picture(const std::string& desktops, int monitor = 0,
                        const std::string& name = "") {
        query.desktops = desktops;
        query.monitor = monitor;
        query.monitorName = name;
        return DesktopPictureFor(query);
    }

    TempDir tmp;
    std::string config;
    DesktopPictureQuery query;
};

// Plasma's desktops (and panels) as containments of its applets file.
std::string Plasma(const std::vector<std::tuple<int, std::string, int, std::string>>& desktops) {
    std::string text = "[ActionPlugins][0]\nRightButton;NoModifier=org.kde.contextmenu\n";
    for (const auto& [id, activity, screen, image] : desktops) {
        const std::string group = "\n[Containments][" + std::to_string(id) + "]";
        const bool panel = id == 1;
        text += group + "\nactivityId=" + activity + "\nformfactor=" + (panel ? "2" : "0") +
                "\nlastScreen=" + std::to_string(screen) + "\nplugin=org.kde." +
                (panel ? "panel" : "plasma.folder") + "\nwallpaperplugin=org.kde.image\n" + group +
                "[Wallpaper][org.kde.image][General]\nImage=" + image + "\n";
    }
    return text;
}

const char* kPlasmaFile = "plasma-org.kde.plasma.desktop-appletsrc";

TEST_F(DesktopPictureTest, EachDesktopReadsItsOwnSettingsForOurMonitor) {
    EXPECT_EQ(Picture("GNOME"), "") << "nothing set anywhere";
    Set("org.gnome.desktop.background", "picture-uri", "file://" + tmp / "My%20Lake.jpg");
    Set("org.cinnamon.desktop.background", "picture-uri", "file://localhost" + tmp / "b.png");
    Set("org.mate.background", "picture-filename", tmp / "c.png");
    WriteFile(kXfceSettings, XfceChannel({{"HDMI-1", 1, tmp / "d.png"},
                                          {"HDMI-1", 0, tmp / "a.png"},
                                          {"1", 0, "file://" + tmp / "b.png"}},
                                         tmp / "c.png"));
    WriteFile(kPlasmaFile, Plasma({{1, "ACT-1", 0, tmp / "d.png"},
                                   {7, "ACT-1", 1, "file://" + tmp / "My%20Lake.jpg"},
                                   {8, "ACT-2", 0, tmp / "b.png"},
                                   {9, "ACT-1", 0, tmp / "a.png"}}));
    const struct {
        const char* desktops;
        int monitor;
        const char* name;
        std::string picture;
        const char* why;
    } cases[] = {
        {"ubuntu:GNOME", 0, "", tmp / "My Lake.jpg", ""},
        {"X-Cinnamon", 0, "", tmp / "b.png", ""},
        {"mate", 0, "", tmp / "c.png", ""},
        {"", 0, "", tmp / "My Lake.jpg", "none named"},
        {"XFCE", 0, "HDMI-1", tmp / "a.png", "the first workspace, by output name"},
        {"XFCE", 1, "DP-2", tmp / "b.png", "by number, as Xfce 4.12 kept it"},
        {"XFCE", 1, "HDMI-1", tmp / "a.png", "the name goes before the number"},
        {"XFCE", 5, "VGA-1", tmp / "a.png", "none of its own: any monitor's"},
        {"KDE", 1, "", tmp / "My Lake.jpg", ""},
        {"KDE", 0, "", tmp / "b.png", "no activity known: the first on our screen"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Picture(c.desktops, c.monitor, c.name), c.picture) << c.desktops << " " << c.why;
    }
    WriteFile("kactivitymanagerdrc", "[main]\ncurrentActivity=ACT-1\n");
    EXPECT_EQ(Picture("KDE", 0), tmp / "a.png");
    EXPECT_EQ(Picture("KDE", 3), tmp / "My Lake.jpg") << "a screen without a desktop: any";
}

TEST_F(DesktopPictureTest, DarkStyleAddressesFoldersAndWhatNamesNoPicture) {
    const char* id = "org.gnome.desktop.background";
    Set(id, "picture-uri", "file://" + tmp / "a.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-dark");
    EXPECT_EQ(Picture("GNOME"), tmp / "a.png") << "no dark picture: the ordinary one";
    Set(id, "picture-uri-dark", tmp / "b.png"); // a plain path works too
    EXPECT_EQ(Picture("GNOME"), tmp / "b.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-light");
    EXPECT_EQ(Picture("GNOME"), tmp / "a.png");
    for (const std::string& notLocal :
         {std::string("https://example.org/a.jpg"), "file://otherhost" + tmp / "a.png",
          "file://" + tmp / "gone.png"}) {
        Set(id, "picture-uri", notLocal);
        EXPECT_EQ(Picture("GNOME"), "") << notLocal;
    }
    // A picture that is no regular file is never named (nor waited on).
    ASSERT_EQ(mkfifo((tmp / "fifo.png").c_str(), 0600), 0);
    Set("org.mate.background", "picture-filename", tmp / "fifo.png");
    EXPECT_EQ(Picture("MATE"), "");
    WriteFile(kXfceSettings,
              XfceChannel({{"HDMI-1", 0, tmp / "gone.png"}, {"1", 0, tmp / "b.png"}}));
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), "") << "our own picture is gone";
    // Plasma's own wallpapers are folders of one picture in several sizes.
    const std::string images = tmp.Subdir("Next/contents/images");
    for (const char* size : {"1280x1024.png", "5120x2880.jpg", "1920x1080.jpg"}) {
        std::ofstream(images + "/" + size) << "picture";
    }
    tmp.Subdir("Next/contents/images/9000x9000"); // a folder is no picture
    WriteFile(kPlasmaFile, Plasma({{2, "", 0, "file://" + tmp / "Next/"}}));
    EXPECT_EQ(Picture("KDE", 0), images + "/5120x2880.jpg");
    // Settings cut short, too large to read, or no file at all (never waited on).
    const std::string good = XfceChannel({{"0", 0, tmp / "a.png"}});
    const std::string applets = Plasma({{2, "", 0, tmp / "a.png"}});
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2), "[Containments][2\nImage=" + tmp / "a.png"},
        {good + "<!--" + std::string(5 << 20, 'x') + "-->",
         applets + "[big]\nx=" + std::string(5 << 20, 'x') + "\n"},
    };
    for (const auto& [xfce, kde] : cases) {
        WriteFile(kXfceSettings, xfce);
        EXPECT_EQ(Picture("XFCE"), "") << xfce.substr(0, 200);
        WriteFile(kPlasmaFile, kde);
        EXPECT_EQ(Picture("KDE"), "") << kde.substr(0, 200);
    }
    std::remove((config + "/" + kXfceSettings).c_str());
    ASSERT_EQ(mkfifo((config + "/" + kXfceSettings).c_str(), 0600), 0);
    EXPECT_EQ(Picture("XFCE"), "");
}

// GNOME as installed names a light and a dark picture in its schema's
// defaults: the dark one shows under prefer-dark only, whichever of the two
// the user changed.
TEST_F(DesktopPictureTest, GnomesOwnLightAndDarkPicturesShowUnderTheirStyles) {
    std::string xml = kSchemas;
    for (const auto& [key, name] : {std::pair{"picture-uri\"", "a.png"}, {"-dark\"", "b.png"}}) {
        const size_t at = xml.find("<default>''", xml.find(key));
        xml.replace(at, 11, "<default>'file://" + tmp / name + "'");
    }
    const struct {
        const char *scheme, *light, *dark, *shows;
    } cases[] = {
        {nullptr, nullptr, nullptr, "a.png"},       {"default", nullptr, nullptr, "a.png"},
        {"prefer-dark", nullptr, nullptr, "b.png"}, {"prefer-light", nullptr, nullptr, "a.png"},
        {"prefer-dark", "c.png", nullptr, "b.png"}, {"prefer-dark", nullptr, "d.png", "d.png"},
        {"default", "c.png", "d.png", "c.png"},     {"prefer-light", nullptr, "d.png", "a.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.scheme ? c.scheme : "unset") + (c.light ? " light set" : "") +
                     (c.dark ? " dark set" : ""));
        ASSERT_NO_FATAL_FAILURE(UseSchemas(xml, "gnome" + std::to_string(&c - cases)));
        if (c.scheme != nullptr) {
            Set("org.gnome.desktop.interface", "color-scheme", c.scheme);
        }
        for (const auto& [key, value] :
             {std::pair{"picture-uri", c.light}, {"picture-uri-dark", c.dark}}) {
            if (value != nullptr) {
                Set("org.gnome.desktop.background", key, "file://" + tmp / value);
            }
        }
        EXPECT_EQ(Picture("ubuntu:GNOME"), tmp / c.shows);
    }
}

// What the view does with the desktop's answer.
std::string answer;
int askedFor = -1;

// A relative path of five bytes or more is loaded; a shorter one, or a file
// that is gone or no picture, leaves the fallback; so does no desktop.
TEST_F(GLFixture, TheViewLoadsTheDesktopPictureOrFallsBack) {
    const RGBA fallback{200, 0, 200, 255}, named{0, 200, 0, 255}, shorter{200, 0, 0, 255};
    TempDir tmp;
    InstallPictureReader();
    saverfiles::UseUserFolders(tmp.path());
    const std::string resources = tmp.Subdir("res");
    saverfiles::WriteResources(resources, 1, fallback);
    saverfiles::WritePreferences(saverfiles::Prefs{false, 1, 1, 0, false, {}});
    char cwd[4096] = {};
    ASSERT_EQ(getcwd(cwd, sizeof cwd), cwd);
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    saverfiles::WritePlainPicture(tmp / "x.png", named);  // five bytes
    saverfiles::WritePlainPicture(tmp / "y.pn", shorter); // four bytes
    std::ofstream(tmp / "slideshow.xml") << "<background><static/></background>";
    const std::pair<std::string, RGBA> cases[] = {
        {"x.png", named},
        {"y.pn", fallback},
        {tmp / "slideshow.xml", fallback},
        {"no desktop", fallback},
    };
    for (const auto& [path, shows] : cases) {
        answer = path;
        const DesktopPictureSource source = [](int screen, const NSRect&) {
            askedFor = screen;
            return answer;
        };
        SetDesktopPictureSource(path == "no desktop" ? nullptr : source);
        askedFor = -1;
        TumblixView view(NSRect{0, 0, 64, 64}, false, &window, resources);
        view.screenNumber = view.mainScreenNumber = 2;
        ASSERT_TRUE(view.mainSetup()) << view.setupError;
        EXPECT_EQ(askedFor, path == "no desktop" ? -1 : 2);
        const RGBA corner = TexturePixels(view.ssMain->bgTexture)[0];
        EXPECT_TRUE(saverfiles::Near(corner, shows, 0)) << path << ": " << corner;
    }
    SetDesktopPictureSource(nullptr);
    EXPECT_EQ(chdir(cwd), 0);
}

} // namespace
