#include "BottleFiles.h"
#include "ChildProcess.h"
#include "FileContents.h"
#include "LoopbackServer.h"
#include "RunTool.h"
#include "TempDir.h"
#include "brewlib/ContainerWriter.h"
#include "host/SettingsIO.h"
#include "host/platform/PreferenceStore.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// tumblix --configure on a real X server: the window opens, its preview
// moves, and the keyboard saves or cancels.

namespace {

const int kPreviewWidth = 400, kPreviewHeight = 250;

// An Xvfb of the test's own, on the first free display it finds.
class Xvfb {
  public:
    Xvfb() {
        int ready[2];
        if (pipe(ready) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x900x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes the display's number once it accepts clients, and the
        // pipe closes if it dies first.
        std::string number;
        char c;
        while (pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(ready[0]);
        if (!number.empty()) {
            display = ":" + number;
        }
    }
    ~Xvfb() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    std::string display;

  private:
    pid_t pid = -1;
};

// One screenshot as xwd writes it: 32-bit pixels, compared as they are.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

uint32_t Big32(const std::string& d, size_t at) {
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 |
           uint32_t(uint8_t(d[at + 2])) << 8 | uint32_t(uint8_t(d[at + 3]));
}

bool ReadXwd(const std::string& path, Shot* shot) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string d = s.str();
    if (d.size() < 100) {
        return false;
    }
    const uint64_t headerSize = Big32(d, 0), width = Big32(d, 16), height = Big32(d, 20);
    const uint64_t bitsPerPixel = Big32(d, 44), bytesPerLine = Big32(d, 48), colours = Big32(d, 76);
    const uint64_t start = headerSize + colours * 12;
    if (bitsPerPixel != 32 || width == 0 || width > 8192 || height > 8192 ||
        bytesPerLine < width * 4 || start + bytesPerLine * height > d.size()) {
        return false;
    }
    shot->width = int(width);
    shot->height = int(height);
    shot->pixels.resize(width * height);
    for (uint64_t y = 0; y < height; y++) {
        for (uint64_t x = 0; x < width; x++) {
            shot->pixels[y * width + x] = Big32(d, start + y * bytesPerLine + x * 4);
        }
    }
    return true;
}

struct Change {
    int pixels = 0, left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Change Compare(const Shot& a, const Shot& b) {
    Change c;
    for (int y = 0; y < a.height; y++) {
        for (int x = 0; x < a.width; x++) {
            if (a.pixels[size_t(y) * a.width + x] != b.pixels[size_t(y) * b.width + x]) {
                c.pixels++;
                c.left = std::min(c.left, x);
                c.right = std::max(c.right, x);
                c.top = std::min(c.top, y);
                c.bottom = std::max(c.bottom, y);
            }
        }
    }
    return c;
}

class ConfigureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(x.display.empty()) << "Xvfb did not start (is the xvfb package installed?)";
        std::filesystem::create_directories(home / "config/dwTumblixSS");
        // Steady pictures: no blinking text cursor, no animated widgets.
        std::filesystem::create_directories(home / "config/gtk-3.0");
        std::ofstream(home / "config/gtk-3.0/settings.ini")
            << "[Settings]\ngtk-cursor-blink=false\ngtk-enable-animations=false\n";
        const char* build = std::getenv("TUMBLIX_BUILD_DIR");
        resources = std::string(build != nullptr ? build : ".") + "/share/tumblix";
    }
    void TearDown() override { Stop(); }

    std::string StorePath() const { return home / "config/dwTumblixSS/preferences.ini"; }

    std::string Env() const {
        const char* source = std::getenv("TUMBLIX_SOURCE_DIR");
        return "DISPLAY=" + x.display + " XDG_CONFIG_HOME=" + Quote(home / "config") +
               " XDG_DATA_HOME=" + Quote(home / "data") +
               " GDK_BACKEND=x11 NO_AT_BRIDGE=1 SDL_AUDIODRIVER=dummy LSAN_OPTIONS=" +
               Quote("suppressions=" + std::string(source != nullptr ? source : ".") +
                     "/tests/lsan-dialog.supp:print_suppressions=0") +
               " ";
    }
    ToolResult X(const std::string& command) const {
        return RunTool(Env() + "timeout 30 " + command + " 2>/dev/null");
    }

    // Starts the dialog and returns its window, empty when none appeared.
    std::string Start(const std::string& resourceFolder) {
        const std::string command = Env() + "exec timeout 120 " + Quote(BuildProgram("tumblix")) +
                                    " --resources " + Quote(resourceFolder) + " --configure >" +
                                    Quote(home / "out.txt") + " 2>&1";
        child = fork();
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const ToolResult found = X("xdotool search --sync --name '^Tumblix Settings$'");
        std::istringstream lines(found.out);
        std::string window;
        std::getline(lines, window);
        return window;
    }
    // Puts the keyboard and the pointer on the window, then presses keys.
    void Keys(const std::string& window, const std::string& keys) const {
        ASSERT_EQ(X("xdotool windowfocus --sync " + window + " mousemove --window " + window +
                    " 4 4 key --clearmodifiers " + keys)
                      .status,
                  0);
    }
    // The dialog's exit status once it has ended.
    int Wait() {
        int status = 0;
        const pid_t waited = waitpid(child, &status, 0);
        child = -1;
        return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Stop() {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
            child = -1;
        }
    }
    bool Screenshot(const std::string& window, Shot* shot) const {
        const std::string file = home / "shot.xwd";
        return X("xwd -silent -id " + window + " -out " + Quote(file)).status == 0 &&
               ReadXwd(file, shot);
    }

    Xvfb x;
    TempDir home;
    std::string resources;
    pid_t child = -1;
};

const char* const kStore = "[dwTumblixSS]\n"
                           "version=1.0\n"
                           "BottleSize=500\n"
                           "MaxBottle=3\n"
                           "Volume=70\n"
                           "CDHr=30\n"
                           "ShowCountdown=true\n"
                           "BGType=3\n"
                           "BGColR=0.25\n"
                           "BGColG=0.5\n"
                           "BGColB=0.75\n"
                           "BottleSelection=dark-stout.brew###\n";

TEST_F(ConfigureTest, ThePreviewMovesAndSaveStoresWhatTheWindowShows) {
    std::ofstream(StorePath()) << kStore;
    const std::string window = Start(resources);
    ASSERT_NE(window, "") << Contents(home / "out.txt");

    // Once the window has drawn itself, only the preview changes from one
    // picture to the next. The window may still be drawing its controls when
    // it is first found, so a change that spans more than the preview moves
    // the comparison on to the next picture.
    Shot first, next;
    ASSERT_TRUE(Screenshot(window, &first));
    Change change;
    const auto settled = [&change] {
        return change.pixels > 50 && change.right - change.left < kPreviewWidth &&
               change.bottom - change.top < kPreviewHeight;
    };
    for (int tries = 0; tries < 50 && !settled(); tries++) {
        ASSERT_TRUE(Screenshot(window, &next));
        ASSERT_EQ(next.width, first.width);
        ASSERT_EQ(next.height, first.height);
        change = Compare(first, next);
        first = next;
    }
    EXPECT_GT(change.pixels, 50) << "the preview does not move";
    EXPECT_LE(change.right - change.left + 1, kPreviewWidth);
    EXPECT_LE(change.bottom - change.top + 1, kPreviewHeight);

    Keys(window, "alt+s");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    const auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(store->integerForKey("BottleSize"), 200) << "shown at the top of its range";
    EXPECT_EQ(store->integerForKey("MaxBottle"), 3);
    EXPECT_EQ(store->integerForKey("Volume"), 70);
    EXPECT_EQ(store->integerForKey("CDHr"), 23);
    EXPECT_TRUE(store->boolForKey("ShowCountdown"));
    EXPECT_FALSE(store->boolForKey("ShowClock"));
    EXPECT_EQ(store->integerForKey("BGType"), 3);
    EXPECT_EQ(store->floatForKey("BGColR"), 0.25f);
    EXPECT_EQ(store->floatForKey("BGColB"), 0.75f);
    EXPECT_EQ(store->stringForKey("BottleSelection"), "dark-stout.brew###")
        << "the table listed the types and kept the stored choice";
}

TEST_F(ConfigureTest, DefaultsThenEscapeWritesNothing) {
    std::ofstream(StorePath()) << kStore;
    const std::string window = Start(resources);
    ASSERT_NE(window, "") << Contents(home / "out.txt");
    Keys(window, "alt+d Escape");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
    EXPECT_EQ(Contents(StorePath()), kStore);
}

TEST_F(ConfigureTest, APreviewThatCannotStartStillOpensAndSaves) {
    std::ofstream(StorePath()) << kStore;
    const std::string window = Start(home.Subdir("nothing-here"));
    ASSERT_NE(window, "") << Contents(home / "out.txt");
    Keys(window, "alt+s");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
    const std::string saved = Contents(StorePath());
    EXPECT_NE(saved.find("BottleSize=200\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("BottleSelection=dark-stout.brew###\n"), std::string::npos) << saved;
}

// Bottle types from a loopback site, through the window's own buttons.
class ConfigureDownloadTest : public ConfigureTest {
  protected:
    void SetUp() override {
        ConfigureTest::SetUp();
        std::filesystem::create_directories(home / "in");
        std::filesystem::create_directories(home / "site");
        fixtures::Write(home / "in/porter.brew", fixtures::Upright("Porter"));
        ASSERT_TRUE(server.Start(home / "site"));
        const ToolResult site =
            RunTool(Quote(BuildProgram("tumblix-brew")) + " site " + Quote(home / "site") + " " +
                    Quote(home / "in/porter.brew") + " --base " + server.Address() + " 2>&1");
        ASSERT_EQ(site.status, 0) << site.out;
        std::ofstream(StorePath())
            << "[dwTumblixSS]\nversion=1.0\nWebServer=" << server.Address() << "\n";
    }
    std::vector<std::string> BottleFolder() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Folder(), ec)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Folder() const { return home / "data/dwTumblixSS/bottles"; }
    // Keys pressed while the window is still busy fetching the list can go
    // unheard, as they would for a person: press again until it shows.
    bool PressUntil(const std::string& window, const std::string& keys,
                    const std::function<bool()>& done) {
        for (int tries = 0; tries < 5; tries++) {
            Keys(window, keys);
            if (WaitFor(3, done)) {
                return true;
            }
        }
        return false;
    }
    LoopbackServer server;
};

TEST_F(ConfigureDownloadTest, CheckThenDownloadPutsTheTypeInTheBottleFolder) {
    const std::string window = Start(resources);
    ASSERT_NE(window, "") << Contents(home / "out.txt");
    Keys(window, "alt+h");
    const bool arrived = PressUntil(window, "alt+o", [&] {
        return Contents(Folder() + "/porter.brew") == Contents(home / "in/porter.brew");
    });
    EXPECT_TRUE(arrived) << Contents(home / "out.txt");
    EXPECT_EQ(BottleFolder(), std::vector<std::string>{"porter.brew"});
    // Downloading is no change of settings: Escape still writes nothing.
    const std::string store = Contents(StorePath());
    Keys(window, "Escape");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
    EXPECT_EQ(Contents(StorePath()), store);
}

TEST_F(ConfigureDownloadTest, ThePreviewMovesWhileASlowServerSendsTheList) {
    // Bottles that move; the server holds the list back for 8 s, within the
    // 10 s the fetch may take.
    std::ofstream(StorePath()) << kStore << "WebServer=" << server.Address("/_/slow/8") << "\n";
    const std::string window = Start(resources);
    ASSERT_NE(window, "") << Contents(home / "out.txt");
    const auto exists = [&](const char* name) {
        return std::filesystem::exists(home / (std::string("site/") + name));
    };
    ASSERT_TRUE(PressUntil(window, "alt+h", [&] { return exists("slow.arrived"); }));
    Shot first, next;
    ASSERT_TRUE(Screenshot(window, &first));
    Change change;
    while (change.pixels == 0 && !exists("slow.answered")) {
        ASSERT_TRUE(Screenshot(window, &next));
        change = Compare(first, next);
    }
    EXPECT_GT(change.pixels, 50) << "the preview stood still while the list was fetched";
    EXPECT_FALSE(exists("slow.answered"));
    Keys(window, "Escape");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
}

TEST_F(ConfigureDownloadTest, ClosingTheWindowMidDownloadKeepsTheTypeThatWasThere) {
    // The folder already has a porter.brew (another type under the same file
    // name); the list offers one that never finishes arriving.
    std::filesystem::create_directories(Folder());
    fixtures::Write(Folder() + "/porter.brew", fixtures::Upright("Old Porter"));
    const std::string before = Contents(Folder() + "/porter.brew");
    std::ofstream(home / "site/mac/zips/tumblix/bottleTypes.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>"
        << "<string>Porter;" << server.Address("/_/trickle/mac/zips/tumblix/porter.brew")
        << "</string></array></plist>\n";

    const std::string window = Start(resources);
    ASSERT_NE(window, "") << Contents(home / "out.txt");
    Keys(window, "alt+h");
    // The download has begun once its temporary file is beside the old one.
    EXPECT_TRUE(PressUntil(window, "alt+o", [&] { return BottleFolder().size() == 2; }))
        << "the download never started";
    Keys(window, "Escape");
    EXPECT_EQ(Wait(), 0) << Contents(home / "out.txt");
    EXPECT_EQ(BottleFolder(), std::vector<std::string>{"porter.brew"});
    EXPECT_EQ(Contents(Folder() + "/porter.brew"), before);
}

} // namespace
