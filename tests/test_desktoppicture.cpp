#include "GLFixture.h"
#include "PictureFiles.h"
#include "RunTool.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "brewlib/ContainerWriter.h"
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

// The desktop picture of background kind 1: what GNOME's settings name,
// and what the view makes of the path it is given.

namespace {

const char* kBackgroundSchema = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-uri" type="s"><default>''</default></key>
    <key name="picture-uri-dark" type="s"><default>''</default></key>
  </schema>
</schemalist>)";

const char* kInterfaceSchema = R"(<schemalist>
  <enum id="test.ColorScheme">
    <value nick="default" value="0"/>
    <value nick="prefer-dark" value="1"/>
    <value nick="prefer-light" value="2"/>
  </enum>
  <schema id="org.gnome.desktop.interface" path="/org/gnome/desktop/interface/">
    <key name="color-scheme" enum="test.ColorScheme"><default>'default'</default></key>
  </schema>
</schemalist>)";

// A background schema that lacks the key.
const char* kOldBackgroundSchema = R"(<schemalist>
  <schema id="org.gnome.desktop.background" path="/org/gnome/desktop/background/">
    <key name="picture-options" type="s"><default>'zoom'</default></key>
  </schema>
</schemalist>)";

class GnomePicture : public ::testing::Test {
  protected:
    // Compiles the given schema files into a folder and opens it as the
    // only schema source, with settings kept in memory.
    void UseSchemas(const std::vector<std::pair<std::string, const char*>>& files) {
        const std::string dir = tmp.Subdir("schemas" + std::to_string(++folders));
        for (const auto& [name, text] : files) {
            std::ofstream(dir + "/" + name) << text;
        }
        ASSERT_EQ(RunTool("glib-compile-schemas " + Quote(dir)).status, 0);
        GError* error = nullptr;
        source = g_settings_schema_source_new_from_directory(dir.c_str(), nullptr, FALSE, &error);
        ASSERT_NE(source, nullptr) << (error ? error->message : "");
        backend = g_memory_settings_backend_new();
    }
    void TearDown() override {
        if (source != nullptr) {
            g_settings_schema_source_unref(source);
        }
        if (backend != nullptr) {
            g_object_unref(backend);
        }
    }
    void Set(const char* schemaId, const char* key, const char* value) {
        GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaId, FALSE);
        ASSERT_NE(schema, nullptr) << schemaId;
        GSettings* settings = g_settings_new_full(schema, backend, nullptr);
        ASSERT_TRUE(g_settings_set_string(settings, key, value));
        g_object_unref(settings);
        g_settings_schema_unref(schema);
    }
    std::string Picture() { return GnomeDesktopPictureFrom(source, backend); }

    TempDir tmp;
    int folders = 0;
    GSettingsSchemaSource* source = nullptr;
    GSettingsBackend* backend = nullptr;
};

TEST_F(GnomePicture, AFileUriBecomesItsPath) {
    UseSchemas({{"bg.gschema.xml", kBackgroundSchema}, {"if.gschema.xml", kInterfaceSchema}});
    EXPECT_EQ(Picture(), "");
    Set("org.gnome.desktop.background", "picture-uri", "file:///home/me/Pictures/My%20Lake.jpg");
    EXPECT_EQ(Picture(), "/home/me/Pictures/My Lake.jpg");
    Set("org.gnome.desktop.background", "picture-uri", "file://localhost/srv/a.png");
    EXPECT_EQ(Picture(), "/srv/a.png");
    Set("org.gnome.desktop.background", "picture-uri", "/srv/plain/path.png");
    EXPECT_EQ(Picture(), "/srv/plain/path.png");
    for (const char* notLocal : {"https://example.org/a.jpg", "resource:///org/x/bg.png", "bg.png",
                                 "file://otherhost/a.jpg"}) {
        Set("org.gnome.desktop.background", "picture-uri", notLocal);
        EXPECT_EQ(Picture(), "") << notLocal;
    }
}

TEST_F(GnomePicture, TheDarkStyleHasItsOwnPicture) {
    UseSchemas({{"bg.gschema.xml", kBackgroundSchema}, {"if.gschema.xml", kInterfaceSchema}});
    Set("org.gnome.desktop.background", "picture-uri", "file:///light.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-dark");
    EXPECT_EQ(Picture(), "/light.png") << "no dark picture: the ordinary one";
    Set("org.gnome.desktop.background", "picture-uri-dark", "file:///dark.png");
    EXPECT_EQ(Picture(), "/dark.png");
    Set("org.gnome.desktop.interface", "color-scheme", "prefer-light");
    EXPECT_EQ(Picture(), "/light.png");
}

TEST_F(GnomePicture, WithoutTheSchemaOrItsKeyThereIsNoPicture) {
    UseSchemas({{"if.gschema.xml", kInterfaceSchema}});
    EXPECT_EQ(Picture(), "");
    TearDown();
    UseSchemas({{"bg.gschema.xml", kOldBackgroundSchema}});
    EXPECT_EQ(Picture(), "");
    // The background alone, without the interface schema, still works.
    TearDown();
    UseSchemas({{"bg.gschema.xml", kBackgroundSchema}});
    Set("org.gnome.desktop.background", "picture-uri", "file:///only.png");
    EXPECT_EQ(Picture(), "/only.png");
}

// What the view does with the desktop's answer.
struct FakeSource {
    static inline std::string path;
    static inline int askedFor = -1;
    static std::string Answer(int screenNumber) {
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
        WritePicture("x.png", kNamed); // five bytes
        WritePicture("y.pn", kShort);  // four bytes
        SetDesktopPictureSource(FakeSource::Answer);
        FakeSource::askedFor = -1;
    }
    void TearDown() override {
        SetDesktopPictureSource(nullptr);
        EXPECT_EQ(chdir(cwd), 0);
        GLFixture::TearDown();
    }
    void WritePicture(const std::string& name, RGBA c) {
        pics::PngImage png;
        png.width = png.height = 8;
        for (int i = 0; i < 64; i++) {
            png.rows.insert(png.rows.end(), {c.r, c.g, c.b});
        }
        std::string error;
        ASSERT_TRUE(brew::WriteFileBytes(tmp / name, pics::EncodePNG(png), &error)) << error;
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

TEST_F(ViewDesktopPicture, APathOfFiveBytesIsLoadedOneOfFourFallsBack) {
    EXPECT_TRUE(saverfiles::Near(BackgroundFor("x.png"), kNamed, 0));
    EXPECT_TRUE(saverfiles::Near(BackgroundFor("y.pn"), kFallback, 0));
    EXPECT_TRUE(saverfiles::Near(BackgroundFor(""), kFallback, 0));
    EXPECT_TRUE(saverfiles::Near(BackgroundFor(tmp / "x.png"), kNamed, 0));
}

TEST_F(ViewDesktopPicture, APictureThatCannotBeReadFallsBack) {
    EXPECT_TRUE(saverfiles::Near(BackgroundFor(tmp / "gone.jpg"), kFallback, 0));
    std::ofstream(tmp / "slideshow.xml") << "<background><static/></background>";
    EXPECT_TRUE(saverfiles::Near(BackgroundFor(tmp / "slideshow.xml"), kFallback, 0));
    SetDesktopPictureSource(nullptr);
    FakeSource::path = "x.png";
    TumblixView view(NSRect{0, 0, 64, 64}, false, &window, resources);
    ASSERT_TRUE(view.mainSetup());
    EXPECT_NE(view.ssMain->bgTexture, 0u) << "no desktop: the fallback picture";
}

} // namespace
