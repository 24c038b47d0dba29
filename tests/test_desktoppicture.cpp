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
        g_clear_pointer(&query.schemas, g_settings_schema_source_unref);
        g_clear_object(&query.backend);
    }
    // Compiles a schema file into a folder of its own and opens it as the
    // only schema source, with settings in a keyfile under the home.
    void UseSchemas(const char* text) {
        Release();
        const std::string dir = tmp.Subdir("schemas" + std::to_string(++folders));
        std::ofstream(dir + "/test.gschema.xml") << text;
        ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(dir)).status, 0);
        query.schemas =
            g_settings_schema_source_new_from_directory(dir.c_str(), nullptr, 0, nullptr);
        ASSERT_NE(query.schemas, nullptr);
        query.backend = g_keyfile_settings_backend_new((config + "/keyfile").c_str(), "/", nullptr);
        query.configHome = config;
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
        const std::string path = config + "/" + relative;
        ASSERT_EQ(RunTool("mkdir -p " + Quote(path.substr(0, path.rfind('/')))).status, 0);
        std::ofstream(path, std::ios::binary) << text;
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
    int folders = 0;
    DesktopPictureQuery query;
};

TEST_F(DesktopPictureTest, GSettingsDesktopsEachReadTheirOwnSchema) {
    for (const char* desktop : {"GNOME", "X-Cinnamon", "MATE", "XFCE", "KDE", "", "Sway"}) {
        EXPECT_EQ(Picture(desktop), "") << desktop << ": nothing set anywhere";
    }
    Set("org.gnome.desktop.background", "picture-uri", "file://" + tmp / "My%20Lake.jpg");
    Set("org.cinnamon.desktop.background", "picture-uri", "file://localhost" + tmp / "b.png");
    Set("org.mate.background", "picture-filename", tmp / "c.png");
    const std::pair<const char*, std::string> cases[] = {
        {"GNOME", tmp / "My Lake.jpg"}, {"ubuntu:GNOME", tmp / "My Lake.jpg"},
        {"X-Cinnamon", tmp / "b.png"},  {"Cinnamon", tmp / "b.png"},
        {"MATE", tmp / "c.png"},        {"mate", tmp / "c.png"},
        {"", tmp / "My Lake.jpg"},      {"Budgie:GNOME", tmp / "My Lake.jpg"},
    };
    for (const auto& [desktops, picture] : cases) {
        EXPECT_EQ(Picture(desktops), picture) << desktops;
    }
    // A picture that is no regular file is never named (nor waited on).
    ASSERT_EQ(RunTool("cd " + Quote(tmp.path()) +
                      " && mkfifo fifo.png && mkdir folder.png && "
                      "ln -s a.png link.png")
                  .status,
              0);
    for (const std::string& notAFile :
         {tmp / "fifo.png", tmp / "folder.png", std::string("/dev/zero")}) {
        Set("org.mate.background", "picture-filename", notAFile);
        EXPECT_EQ(Picture("MATE"), "") << notAFile;
    }
    Set("org.mate.background", "picture-filename", tmp / "link.png");
    EXPECT_EQ(Picture("MATE"), tmp / "link.png") << "a link to a picture is fine";
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
    // A schema without the key (an older desktop's), or no schema at all.
    UseSchemas(R"(<schemalist><schema id="org.gnome.desktop.background"
        path="/org/gnome/desktop/background/"><key name="picture-options" type="s">
        <default>'zoom'</default></key></schema></schemalist>)");
    EXPECT_EQ(Picture("GNOME"), "");
    EXPECT_EQ(Picture("MATE"), "");
}

const char* kXfceFile = "xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml";

// Xfce's channel: the last image of workspaces of monitors, and one outside.
std::string Xfce(const std::vector<std::tuple<std::string, int, std::string>>& images,
                 const std::string& outside = "") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<channel name=\"xfce4-desktop\" "
                      "version=\"1.0\"><property name=\"backdrop\" type=\"empty\"><property "
                      "name=\"screen0\" type=\"empty\">";
    for (const auto& [monitor, workspace, image] : images) {
        xml += "<property name=\"monitor" + monitor +
               "\" type=\"empty\"><property name=\"workspace" + std::to_string(workspace) +
               "\" type=\"empty\"><property name=\"color-style\" "
               "type=\"int\" value=\"0\"/><property name=\"last-image\" type=\"string\" value=\"" +
               image + "\"/></property></property>";
    }
    return xml + "</property></property><property name=\"last-image\" type=\"string\" value=\"" +
           outside + "\"/></channel>\n";
}

TEST_F(DesktopPictureTest, XfceReadsTheFirstWorkspaceOfOurMonitor) {
    WriteFile(kXfceFile, Xfce({{"HDMI-1", 1, tmp / "d.png"},
                               {"HDMI-1", 0, tmp / "a.png"},
                               {"1", 0, "file://" + tmp / "b.png"}},
                              tmp / "c.png"));
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), tmp / "a.png"); // by output name
    EXPECT_EQ(Picture("XFCE", 1, "DP-2"), tmp / "b.png");   // by number, as Xfce 4.12 kept it
    EXPECT_EQ(Picture("XFCE", 1, "HDMI-1"), tmp / "a.png") << "the name goes before the number";
    // A monitor with none of its own shows any monitor's first workspace.
    EXPECT_EQ(Picture("XFCE", 5, "VGA-1"), tmp / "a.png");
    WriteFile(kXfceFile, Xfce({{"X", 0, "PICTURE_A"}, {"1", 0, tmp / "b.png"}}));
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), tmp / "b.png") << "PICTURE_A names no file";
    WriteFile(kXfceFile, Xfce({{"HDMI-1", 0, tmp / "gone.png"}, {"1", 0, tmp / "b.png"}}));
    EXPECT_EQ(Picture("XFCE", 0, "HDMI-1"), "") << "our own picture is gone";
}

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

TEST_F(DesktopPictureTest, KdeReadsTheDesktopOfOurScreenAndActivity) {
    const std::string file = "plasma-org.kde.plasma.desktop-appletsrc";
    const auto desktops = [&](const std::string& act1) {
        return Plasma({{1, "ACT-1", 0, tmp / "d.png"},
                       {7, "ACT-1", 1, "file://" + tmp / "My%20Lake.jpg"},
                       {8, "ACT-2", 0, tmp / "b.png"},
                       {9, "ACT-1", 0, act1}});
    };
    WriteFile(file, desktops(tmp / "a.png"));
    EXPECT_EQ(Picture("KDE", 1), tmp / "My Lake.jpg");
    EXPECT_EQ(Picture("KDE", 0), tmp / "b.png") << "no activity known: the first on our screen";
    WriteFile("kactivitymanagerdrc", "[main]\ncurrentActivity=ACT-1\n");
    EXPECT_EQ(Picture("KDE", 0), tmp / "a.png");
    EXPECT_EQ(Picture("KDE", 3), tmp / "My Lake.jpg") << "a screen without a desktop: any";
    // Plasma's own wallpapers are folders of one picture in several sizes.
    const std::string images = tmp.Subdir("Next/contents/images");
    for (const char* size : {"1280x1024.png", "5120x2880.jpg", "1920x1080.jpg"}) {
        std::ofstream(images + "/" + size) << "picture";
    }
    tmp.Subdir("Next/contents/images/9000x9000"); // a folder is no picture
    WriteFile(file, desktops("file://" + tmp / "Next/"));
    EXPECT_EQ(Picture("KDE", 0), images + "/5120x2880.jpg");
    // A desktop that shows something other than a picture is passed over.
    std::string colour = desktops(tmp / "a.png");
    colour.replace(colour.rfind("wallpaperplugin=org.kde.image"), 29,
                   "wallpaperplugin=org.kde.color");
    WriteFile(file, colour);
    EXPECT_EQ(Picture("KDE", 0), tmp / "b.png");
}

TEST_F(DesktopPictureTest, DamagedHugeOrStrangeSettingsNameNoPicture) {
    const std::string good = Xfce({{"0", 0, tmp / "a.png"}});
    const std::string applets = Plasma({{2, "", 0, tmp / "a.png"}});
    const std::string bad = Xfce({{"0", 0, "file://" + tmp / "a.png\xff"}});
    const std::pair<std::string, std::string> cases[] = {
        {good, applets},
        {good.substr(0, good.size() / 2), "[Containments][2\nImage=" + tmp / "a.png"},
        {"\xff\xfe" + good, std::string("\xff\xfe[\0C\0]\0\n\0", 10) + applets},
        {good + "<!--" + std::string(5 << 20, 'x') + "-->",
         applets + "[big]\nx=" + std::string(5 << 20, 'x') + "\n"},
        {bad, Plasma({{2, "", 0, tmp / "a.png\xff"}})},
    };
    for (const auto& [xfce, kde] : cases) {
        const std::string expected = &xfce == &cases[0].first ? tmp / "a.png" : "";
        WriteFile(kXfceFile, xfce);
        EXPECT_EQ(Picture("XFCE"), expected) << xfce.substr(0, 200);
        WriteFile("plasma-org.kde.plasma.desktop-appletsrc", kde);
        EXPECT_EQ(Picture("KDE"), expected) << kde.substr(0, 200);
    }
    // A settings file that is not a file at all is never read.
    ASSERT_EQ(RunTool("rm -f " + Quote(config + "/" + kXfceFile) + " && mkfifo " +
                      Quote(config + "/" + kXfceFile))
                  .status,
              0);
    EXPECT_EQ(Picture("XFCE"), "");
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
    WritePlainPicture(tmp / "x.png", named);  // five bytes
    WritePlainPicture(tmp / "y.pn", shorter); // four bytes
    std::ofstream(tmp / "slideshow.xml") << "<background><static/></background>";
    const std::pair<std::string, RGBA> cases[] = {
        {"x.png", named},         {"y.pn", fallback},           {"", fallback},
        {tmp / "x.png", named},   {tmp / "gone.jpg", fallback}, {tmp / "slideshow.xml", fallback},
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
        std::vector<RGBA> texels(512 * 512);
        glBindTexture(GL_TEXTURE_2D, view.ssMain->bgTexture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_TRUE(saverfiles::Near(texels[0], shows, 0)) << path << ": " << texels[0];
    }
    SetDesktopPictureSource(nullptr);
    EXPECT_EQ(chdir(cwd), 0);
}

} // namespace
