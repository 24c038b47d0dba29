#include "BottleFiles.h"
#include "FileContents.h"
#include "GLFixture.h"
#include "LoopbackServer.h"
#include "SceneFiles.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "host/BottleDownloads.h"
#include "host/SettingsIO.h"
#include "host/TumblixView.h"
#include "host/platform/DownloadPump.h"
#include "host/platform/GzipDecoder.h"
#include "host/platform/PreferenceStore.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <plist/plist.h>
#include <set>
#include <sstream>
#include <zlib.h>

// The bottle-type list and downloads, on plain controls that log what is
// done to them, against a web server on the loopback interface.

namespace fs = std::filesystem;

namespace {

using Journal = std::vector<std::string>;

template <class Kind> class Logged : public Kind {
  public:
    Logged(Journal& j, const char* n) : journal(j), name(n) {}
    void setEnabled(bool e) override {
        enabled = e;
        journal.push_back(std::string(e ? "enable " : "disable ") + name);
    }
    bool isEnabled() const override { return enabled; }
    Journal& journal;
    const char* name;
    bool enabled = true;
};

struct LoggedButton : Logged<Button> {
    using Logged::Logged;
};
struct LoggedText : Logged<TextField> {
    using Logged::Logged;
    std::string text() const override { return value; }
    void setText(const std::string& t) override {
        value = t;
        journal.push_back("text " + t);
    }
    std::string value = "(unset)";
};
struct LoggedPopUp : Logged<PopUp> {
    using Logged::Logged;
    int indexOfSelectedItem() const override { return selected; }
    void selectItemAtIndex(int i) override { selected = i >= 0 && i < numberOfItems() ? i : -1; }
    int numberOfItems() const override { return int(items.size()); }
    void removeAllItems() override {
        items.clear();
        selected = -1;
        journal.push_back("removeAllItems");
    }
    void addItemWithTitle(const std::string& t) override { items.push_back(t); }
    std::vector<std::string> items;
    int selected = -1;
};
struct LoggedPath : Logged<PathButton> {
    using Logged::Logged;
    std::string title() const override { return value; }
    void setTitle(const std::string& t) override { value = t; }
    std::string value;
};
struct LoggedProgress : Logged<ProgressBar> {
    using Logged::Logged;
    double doubleValue() const override { return value; }
    void setDoubleValue(double v) override { value = v; }
    void startAnimation() override { journal.push_back("startAnimation"); }
    void stopAnimation() override { journal.push_back("stopAnimation"); }
    double value = -1;
};

struct Controls {
    Journal journal;
    LoggedPopUp available{journal, "oAvailableDownloads"};
    LoggedButton check{journal, "oCheckDownloads"}, download{journal, "oDownload"},
        save{journal, "oSave"};
    LoggedProgress progress{journal, "oProgress"};
    LoggedText text{journal, "oDownloadText"};
    LoggedPath directory{journal, "oDirectory"};

    DownloadOutlets Outlets() {
        DownloadOutlets o;
        o.oAvailableDownloads = &available;
        o.oCheckDownloads = &check;
        o.oProgress = &progress;
        o.oDownload = &download;
        o.oDownloadText = &text;
        o.oDirectory = &directory;
        o.oSave = &save;
        return o;
    }
};

void Put(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A property list of strings, written by libplist, XML or binary.
std::string PlistOf(const std::vector<std::string>& strings, bool binary = false) {
    plist_t array = plist_new_array();
    for (const std::string& s : strings) {
        plist_array_append_item(array, plist_new_string(s.c_str()));
    }
    char* data = nullptr;
    uint32_t length = 0;
    if (binary) {
        plist_to_bin(array, &data, &length);
    } else {
        plist_to_xml(array, &data, &length);
    }
    std::string out(data, length);
    if (binary) {
        plist_to_bin_free(data);
    } else {
        plist_to_xml_free(data);
    }
    plist_free(array);
    return out;
}

void WriteType(const std::string& path, const fixtures::BottleSpec& spec) {
    fs::create_directories(fs::path(path).parent_path());
    fixtures::Write(path, spec);
}

std::string GzipOf(const std::string& bytes) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string PercentEncoded(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (std::isalnum(ch) || ch == '-' || ch == '_') {
            out += char(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

// Every file below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& folder) {
    std::set<std::string> files;
    if (fs::exists(folder)) {
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files.insert(fs::relative(entry.path(), folder).string());
            }
        }
    }
    return files;
}

class DownloadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "no_proxy", "LC_ALL",
                                 "LC_NUMERIC", "LANG", "LOCPATH"}) {
            const char* value = std::getenv(name);
            saved[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        }
        setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        // A proxy of the machine must not stand between the tests and their server.
        setenv("no_proxy", "127.0.0.1", 1);
        userFolder = UserBottleFolder();
        ASSERT_TRUE(server.Start(site.path())) << "python3 " << site.path();
        Serve("");
        downloads.limits.connectSeconds = 2;
        downloads.limits.textSeconds = 2;
        downloads.limits.stallSeconds = 1;
        downloads.limits.maxFileBytes = 1 << 20;
        downloads.limits.maxTextBytes = 1 << 20;
        downloads.bottleFolder = [this] { return folder; };
        downloads.bottleManager = [this] { return manager.get(); };
        folder = userFolder;
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

    // The preference WebServer: the loopback server, under a mode prefix.
    void Serve(const std::string& prefix) { ServeAt(server.Address(prefix)); }
    void ServeAt(const std::string& base) {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
        store->setObject(base, "WebServer");
        ASSERT_TRUE(store->synchronize());
    }
    void List(const std::string& bytes) { Put(site / "mac/zips/tumblix/bottleTypes.plist", bytes); }
    // A bottle type on the site, at /files/<file>; its address.
    std::string Offer(const std::string& file, const std::string& typeName) {
        WriteType(site / ("files/" + file), fixtures::Upright(typeName));
        return server.Address("/files/" + file);
    }
    // The catalogue a view has: a type of its own and the user's folder.
    void Catalogue() {
        WriteType(resources / "own.brew", fixtures::Upright("A type of the saver's own"));
        manager = std::make_unique<MAINCLASS>();
        std::snprintf(manager->bottlePath, sizeof manager->bottlePath, "%s",
                      resources.slash().c_str());
        std::snprintf(manager->bottlePath2, sizeof manager->bottlePath2, "%s", userFolder.c_str());
        manager->BuildBottleList();
    }
    // Runs the download to its end (a few seconds at most).
    void Finish() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (downloads.busy() && std::chrono::steady_clock::now() < end) {
            downloads.Wait(50);
            downloads.Step();
        }
        ASSERT_FALSE(downloads.busy())
            << "the download, and the list fetched after it, did not end";
    }
    // Lists one type at `address`, downloads it and runs it to its end.
    void DownloadFrom(const std::string& address, const std::string& typeName = "Stout") {
        List(PlistOf({typeName + ";" + address}));
        ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
        ASSERT_TRUE(downloads.configureSheet_download()) << c.text.value;
        Finish();
    }
    TempDir home, site, resources;
    std::map<std::string, std::optional<std::string>> saved;
    std::string userFolder, folder;
    LoopbackServer server;
    std::unique_ptr<MAINCLASS> manager;
    Controls c;
    BottleDownloads downloads{c.Outlets()};
};

TEST_F(DownloadsTest, TheListOffersWhatTheUserFolderLacksInListOrder) {
    WriteType(userFolder + "mine.brew", fixtures::Upright("Stout"));
    WriteType(resources / "lager.brew", fixtures::Upright("Lager")); // not the user's
    Catalogue();
    ASSERT_GE(manager->numTypes, 2);
    const std::vector<std::string> strings = {
        "Lager;http://127.0.0.1/lager.brew",
        "Stout;http://127.0.0.1/other-name.brew", // present under another file name
        "no separator here",
        "Empty address;",
        "Ale;http://127.0.0.1/ale.brew;anything after a second separator",
    };
    for (bool binary : {false, true}) {
        List(PlistOf(strings, binary));
        ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
        EXPECT_EQ(c.available.items, (std::vector<std::string>{"Lager", "Ale"}));
        EXPECT_EQ(downloads.numDownloads, 2u);
        EXPECT_STREQ(downloads.downloadData[1].url, "http://127.0.0.1/ale.brew");
        EXPECT_TRUE(c.available.enabled);
        EXPECT_TRUE(c.download.enabled);
        EXPECT_EQ(c.available.selected, 0);
        EXPECT_EQ(c.text.value, "(unset)") << "a good list leaves the status alone";
    }

    // Names are cut to 39 bytes, never inside a character; addresses to 511.
    const std::string longName = std::string(38, 'n') + "\xc3\xa9" + "tail"; // é at 38..39
    const std::string longAddress = "http://127.0.0.1/" + std::string(600, 'a');
    List(PlistOf({longName + ";" + longAddress, std::string(45, 'm') + ";http://x/"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    EXPECT_EQ(std::string(downloads.downloadData[0].typeName), std::string(38, 'n'));
    EXPECT_EQ(std::string(downloads.downloadData[0].url), longAddress.substr(0, 511));
    EXPECT_EQ(std::string(downloads.downloadData[1].typeName), std::string(39, 'm'));
}

TEST_F(DownloadsTest, NothingNewIsNoneAndDisabledAndNoCatalogueOffersEverything) {
    WriteType(userFolder + "a.brew", fixtures::Upright("Stout"));
    WriteType(userFolder + "b.brew", fixtures::Upright("Lager"));
    List(PlistOf({"Stout;http://127.0.0.1/s.brew", "Lager;http://127.0.0.1/l.brew"}));
    Catalogue();
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"None"}));
    EXPECT_FALSE(c.available.enabled);
    EXPECT_FALSE(c.download.enabled);
    EXPECT_EQ(downloads.numDownloads, 0u);
    EXPECT_FALSE(downloads.configureSheet_download());
    EXPECT_FALSE(downloads.downloading());

    // Without a manager, or with an empty catalogue, nothing is dropped.
    manager.reset();
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"Stout", "Lager"}));
    manager = std::make_unique<MAINCLASS>();
    std::snprintf(manager->bottlePath2, sizeof manager->bottlePath2, "%s", userFolder.c_str());
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    EXPECT_EQ(downloads.numDownloads, 2u);
}

TEST_F(DownloadsTest, AListThatCannotBeHadChangesNothingButTheStatus) {
    List(PlistOf({"Stout;http://127.0.0.1/s.brew"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    const std::vector<std::string> items = c.available.items;

    const auto refused = [&](const std::string& why, const std::string& expected) {
        c.journal.clear();
        EXPECT_FALSE(downloads.CheckDownloadsAndWait()) << why;
        EXPECT_EQ(c.available.items, items) << why;
        ASSERT_EQ(downloads.numDownloads, 1u) << why;
        EXPECT_STREQ(downloads.downloadData[0].typeName, "Stout") << why;
        EXPECT_EQ(c.journal, (Journal{"text " + c.text.value})) << why;
        EXPECT_EQ(c.text.value.substr(0, expected.size()), expected) << why;
    };

    ServeAt("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
    refused("no server", "Error! Could not connect to the server!");
    Serve("/nowhere");
    refused("no list there", "Error! The server has no list of bottle types (");
    const auto start = std::chrono::steady_clock::now();
    Serve("/_/slow/5");
    refused("a slow server", "Error! The server did not send the list of bottle types within 2");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    Serve("/_/endless");
    refused("an endless list", "Error! The list of bottle types is larger than 1 MB!");
    // The list's path lands in the query, after the target the mode reads.
    ServeAt(server.Address("/_/redirect") + "?to=file:///etc/passwd&rest=");
    refused("a redirect to a file", "Error! The server sent the list of bottle types elsewhere");
    ServeAt("ftp://127.0.0.1/");
    refused("a server that is not a web server", "Error! The web server address");

    Serve("");
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";
    for (const std::string& bad : {
             std::string("garbage, not a list"),
             std::string(),
             std::string("bplist00\xff\xff\xff\xff", 12),
             // The root's offset points past the objects (found by fuzzing).
             std::string("bplist00\xff\0\0\0\0\0\0\x01\x01", 17) + std::string(7, '\0') + "\x01" +
                 std::string(15, '\0') + "\x08",
             head + "<dict><key>a</key><string>b;c</string></dict></plist>",
             head + "<string>a;b</string></plist>",
             head + "<array><string>a;b</string><integer>3</integer></array></plist>",
             head + "<array><string>a;b</string>",
         }) {
        List(bad);
        refused("list: " + bad, "Error! The server's list of bottle types cannot be read: ");
    }

    // Lists that would run the parser out of stack (200000 nested arrays,
    // 3 MB) or bloat it are refused before they are parsed.
    downloads.limits.maxTextBytes = 8 << 20;
    std::string deep = head;
    for (int i = 0; i < 200000; i++) {
        deep += "<array>";
    }
    for (int i = 0; i < 200000; i++) {
        deep += "</array>";
    }
    plist_t nested = plist_new_array();
    plist_array_append_item(nested, plist_new_array());
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(nested, &data, &length);
    const std::string binaryNested(data, length);
    plist_to_bin_free(data);
    plist_free(nested);
    std::string wide = head + "<array>";
    for (int i = 0; i < 200000; i++) {
        wide += "<string/>";
    }
    // Binary, its root holding 200001 references to one string.
    std::string refs =
        std::string("bplist00\xaf\x12\x00\x03\x0d\x41", 14) + std::string(200001, '\x01');
    const size_t stringAt = refs.size(), tableAt = refs.size() + 4;
    refs += "\x53"
            "a;b";
    for (size_t offset : {size_t(8), stringAt}) {
        refs += {char(offset >> 24), char(offset >> 16 & 0xff), char(offset >> 8 & 0xff),
                 char(offset & 0xff)};
    }
    refs += std::string(6, '\0') + "\x04\x01" + std::string(7, '\0') + "\x02" +
            std::string(8, '\0') + std::string(5, '\0') + char(tableAt >> 16) +
            char(tableAt >> 8 & 0xff) + char(tableAt & 0xff);
    const std::pair<std::string, std::string> unparsed[] = {
        {deep + "</plist>", "it nests deeper than 16 levels"},
        {binaryNested, "it holds containers inside its root"},
        {wide + "</array></plist>", "it holds more than 200000 entries"},
        {refs, "it holds more than 200000 entries"},
    };
    for (const auto& [bytes, why] : unparsed) {
        List(bytes);
        refused(why, "Error! The server's list of bottle types cannot be read: " + why + "!");
    }
}

TEST_F(DownloadsTest, AHugeListIsReadOnlyAsFarAsThePopUpCanOffer) {
    WriteType(userFolder + "mine.brew", fixtures::Upright("Type 5"));
    Catalogue();
    std::vector<std::string> strings;
    for (int i = 0; i < 100000; i++) {
        strings.push_back("Type " + std::to_string(i) + ";http://127.0.0.1/t" + std::to_string(i) +
                          ".brew");
    }
    List(PlistOf(strings));
    downloads.limits.maxTextBytes = 16 << 20;
    // The processor time of this process, which a loaded machine does not
    // stretch: a parse gone quadratic would take minutes.
    const std::clock_t start = std::clock();
    ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 5.0);
    RecordProperty("cpu_seconds", std::to_string(seconds));
    EXPECT_EQ(downloads.numDownloads, DownloadList::kMaxEntries - 1);
    EXPECT_EQ(c.available.items[5], "Type 6");
    EXPECT_EQ(c.available.items.back(), "Type 999");
    EXPECT_EQ(c.text.value, "The server lists 100000 bottle types; only the first 1000 were read.");
}

TEST_F(DownloadsTest, ProgressIsAPercentInTheUsersLocaleOrAByteCount) {
    // A locale with a decimal comma, built for the test: the machine need not have it.
    TempDir locales;
    const std::string build =
        "localedef -i de_DE -f UTF-8 " + (locales / "de_DE.UTF-8") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(build.c_str()) == 0 || fs::exists(locales / "de_DE.UTF-8"), true);
    setenv("LOCPATH", locales.path().c_str(), 1);
    unsetenv("LC_ALL");
    setenv("LC_NUMERIC", "de_DE.UTF-8", 1);

    downloads.download_didReceiveResponse(12000000);
    EXPECT_EQ(downloads.bytesReceived, 0);
    downloads.download_didReceiveDataOfLength(3000000);
    EXPECT_EQ(c.progress.value, 25.0);
    EXPECT_EQ(c.text.value, "Downloading, Please Wait: 25,00% Complete\n");
    downloads.download_didReceiveDataOfLength(999999);
    EXPECT_EQ(c.text.value, "Downloading, Please Wait: 33,33% Complete\n");
    EXPECT_NEAR(c.progress.value, 33.333, 0.001);

    setenv("LC_NUMERIC", "C", 1);
    downloads.download_didReceiveDataOfLength(1);
    EXPECT_EQ(c.text.value, "Downloading, Please Wait: 33.33% Complete\n");
    const double percent = c.progress.value;

    // No announced length: a byte count, and the bar stays where it was.
    downloads.download_didReceiveResponse(-1);
    downloads.download_didReceiveDataOfLength(5);
    downloads.download_didReceiveDataOfLength(4000000000u);
    EXPECT_EQ(c.text.value, "Downloading, Please Wait: 4000000005 bytes received\n");
    EXPECT_EQ(c.progress.value, percent);
}

TEST_F(DownloadsTest, AFinishedDownloadIsSavedReportedAndNoLongerOffered) {
    Catalogue();
    const std::string address = Offer("stout.brew", "Stout");
    List(PlistOf({"Stout;" + address, "Lager;" + address}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    c.journal.clear();
    ASSERT_TRUE(downloads.configureSheet_download()) << c.text.value;
    EXPECT_TRUE(downloads.downloading());
    EXPECT_EQ(c.journal, (Journal{"disable oAvailableDownloads", "disable oDownload",
                                  "disable oCheckDownloads", "disable oDirectory", "disable oSave",
                                  "startAnimation", "text Downloading Stout, Please Wait..."}));
    EXPECT_FALSE(downloads.configureSheet_download()) << "one download at a time";
    c.journal.clear();
    Finish();

    EXPECT_EQ(Contents(userFolder + "stout.brew"), Contents(site / "files/stout.brew"));
    EXPECT_EQ(FilesBelow(userFolder), (std::set<std::string>{"stout.brew"}));
    EXPECT_EQ(c.progress.value, 100.0);
    EXPECT_EQ(c.journal.at(c.journal.size() - 11),
              "text Downloading, Please Wait: 100.00% Complete\n");
    // The handler's effects in order, then the list again, without the type.
    const Journal tail(c.journal.end() - 10, c.journal.end());
    EXPECT_EQ(tail, (Journal{"text Download Complete!", "stopAnimation",
                             "enable oAvailableDownloads", "enable oDownload",
                             "enable oCheckDownloads", "enable oDirectory", "enable oSave",
                             "removeAllItems", "enable oAvailableDownloads", "enable oDownload"}));
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"Lager"}));
    EXPECT_EQ(c.text.value, "Download Complete!");
    EXPECT_FALSE(downloads.downloading());
    EXPECT_TRUE(downloads.lastDownloadSaved());
}

TEST_F(DownloadsTest, GzipIsSavedDecodedAndAMissingLengthCountsBytes) {
    Offer("stout.brew", "Stout");
    const std::string bytes = Contents(site / "files/stout.brew");
    DownloadFrom(server.Address("/_/gzip/files/stout.brew"));
    EXPECT_EQ(c.text.value, "Download Complete!");
    EXPECT_EQ(Contents(userFolder + "stout.brew"), bytes);

    // A .gz file is served as application/gzip: saved decoded, without ".gz".
    const std::string gz = GzipOf(bytes);
    Put(site / "files/lager.brew.gz", gz);
    DownloadFrom(server.Address("/files/lager.brew.gz"));
    EXPECT_EQ(Contents(userFolder + "lager.brew"), bytes) << c.text.value;

    c.journal.clear();
    c.progress.value = 0;
    DownloadFrom(server.Address("/_/nolength/files/stout.brew"));
    EXPECT_EQ(Contents(userFolder + "stout.brew"), bytes);
    const std::string size = std::to_string(bytes.size());
    EXPECT_EQ(c.journal.at(c.journal.size() - 11),
              "text Downloading, Please Wait: " + size + " bytes received\n");
    EXPECT_EQ(c.progress.value, 0);
    EXPECT_EQ(FilesBelow(userFolder), (std::set<std::string>{"stout.brew", "lager.brew"}));
}

TEST_F(DownloadsTest, AFailedDownloadLeavesTheFileThatWasThere) {
    Offer("stout.brew", "Stout");
    const std::string bytes = Contents(site / "files/stout.brew");
    const std::string gz = GzipOf(bytes);
    Put(site / "files/cut.brew.gz", gz.substr(0, gz.size() / 2));
    std::string damaged = gz;
    damaged.replace(12, 40, 40, '\xff');
    Put(site / "files/damaged.brew.gz", damaged);
    Put(site / "files/bomb.brew.gz", GzipOf(std::string(3 << 20, '\0')));
    Put(site / "files/junk.brew", "<html><body>Not found, but sent as 200 OK</body></html>");
    // A bottle whose last texture is greyscale: it opens, but does not load.
    std::string badImage = bytes;
    size_t image = std::string::npos;
    for (char type : {'\x02', '\x0a'}) {
        std::string pattern(12, '\0');
        pattern[2] = type;
        const size_t at = badImage.rfind(pattern);
        if (at != std::string::npos && (image == std::string::npos || at > image)) {
            image = at;
        }
    }
    ASSERT_NE(image, std::string::npos);
    badImage[image + 2] = '\x03';
    Put(site / "files/badimage.brew", badImage);
    const std::string before = "the stout the user had, byte for byte";

    struct Case {
        std::string why, path, description;
    };
    const std::vector<Case> cases = {
        {"closed mid-body", "/_/cut/1000/files/stout.brew", "Transfer closed with"},
        {"an endless body", "/_/endless/stout.brew", "The file is larger than 1 MB."},
        {"a stalled server", "/_/stall/stout.brew", "Operation too slow"},
        {"no such file", "/files/missing/stout.brew", "The server answered with status 404."},
        {"a redirect to ftp", "/_/redirect/stout.brew?to=ftp://127.0.0.1/stout.brew",
         "The server redirected to an address that is not http or https"},
        {"a redirect to a file", "/_/redirect/stout.brew?to=file:///etc/hostname",
         "The server redirected to an address that is not http or https"},
        {"gzip cut short", "/files/cut.brew.gz", "The gzip data ends early."},
        {"damaged gzip", "/files/damaged.brew.gz", "The gzip data is damaged"},
        {"a gzip bomb", "/files/bomb.brew.gz", "The decoded file is larger than 1 MB."},
        {"an error page sent as 200", "/files/junk.brew", "What arrived is not a bottle data file"},
        {"closed early without a length", "/_/nolengthcut/1000/files/stout.brew",
         "What arrived is not a bottle data file"},
        {"a damaged texture", "/files/badimage.brew", "Image "},
        {"a length over the limit announced", "/_/huge/stout.brew",
         "The file is larger than 1 MB."},
    };
    const std::vector<const char*> names = {"stout.brew", "cut.brew",  "damaged.brew",
                                            "bomb.brew",  "junk.brew", "badimage.brew"};
    for (const Case& k : cases) {
        for (const char* name : names) {
            Put(userFolder + name, before);
        }
        c.journal.clear();
        DownloadFrom(server.Address(k.path));
        const std::string expected = "Download failed! Error - " + k.description;
        EXPECT_EQ(c.text.value.substr(0, expected.size()), expected) << k.why;
        const std::string address = " " + server.Address(k.path);
        EXPECT_EQ(c.text.value.substr(c.text.value.size() - address.size()), address)
            << k.why << ": the failing address last";
        for (const char* name : names) {
            EXPECT_EQ(Contents(userFolder + name), before) << k.why;
        }
        EXPECT_EQ(FilesBelow(userFolder).size(), names.size()) << k.why << ": no file left behind";
        const Journal tail(c.journal.end() - 6, c.journal.end());
        EXPECT_EQ(tail,
                  (Journal{"text " + c.text.value, "enable oAvailableDownloads", "enable oDownload",
                           "enable oCheckDownloads", "enable oDirectory", "enable oSave"}))
            << k.why << ": no list refresh, the bar's animation is not stopped";
        EXPECT_FALSE(downloads.lastDownloadSaved());
    }

    // A download stopped half way leaves everything as it was, too.
    List(PlistOf({"Stout;" + server.Address("/_/trickle/stout.brew")}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    ASSERT_TRUE(downloads.configureSheet_download());
    const auto started = [&] {
        for (int i = 0; i < 200 && FilesBelow(userFolder).size() < names.size() + 1; i++) {
            downloads.Wait(20);
            downloads.Step();
        }
        return FilesBelow(userFolder).size() == names.size() + 1; // the temporary file
    };
    ASSERT_TRUE(started());
    ASSERT_TRUE(downloads.downloading());
    downloads.cancelDownload();
    EXPECT_FALSE(downloads.downloading());
    EXPECT_EQ(c.text.value, "Download cancelled.");
    EXPECT_TRUE(c.save.enabled && c.download.enabled && c.available.enabled && c.check.enabled &&
                c.directory.enabled);
    EXPECT_EQ(Contents(userFolder + "stout.brew"), before);
    EXPECT_EQ(FilesBelow(userFolder).size(), names.size());

    // So does a sheet that closes during a download.
    {
        BottleDownloads closing(c.Outlets());
        closing.bottleFolder = [this] { return folder; };
        ASSERT_TRUE(closing.CheckDownloadsAndWait());
        ASSERT_TRUE(closing.configureSheet_download());
        for (int i = 0; i < 200 && FilesBelow(userFolder).size() < names.size() + 1; i++) {
            closing.Wait(20);
            closing.Step();
        }
        ASSERT_EQ(FilesBelow(userFolder).size(), names.size() + 1);
    }
    EXPECT_EQ(Contents(userFolder + "stout.brew"), before);
    EXPECT_EQ(FilesBelow(userFolder).size(), names.size());
}

TEST_F(DownloadsTest, SuggestedNamesNeverLeaveTheBottleFolder) {
    Offer("stout.brew", "Stout");
    TempDir outside;
    folder = outside / "a/b/bottles/"; // missing: made on the way
    const std::vector<std::pair<std::string, std::string>> savedAs = {
        {"../../x.brew", "x.brew"}, {".brew", "stout.brew"},
        {"/etc/passwd", "passwd"},  {"", "stout.brew"},
        {"..", "stout.brew"},       {"dir\\..\\y.brew", "y.brew"},
        {"sub/", "stout.brew"},     {"bell\x07.brew", "stout.brew"},
    };
    for (const auto& [suggested, name] : savedAs) {
        DownloadFrom(server.Address("/_/named/" + PercentEncoded(suggested) + "/files/stout.brew"));
        EXPECT_EQ(c.text.value, "Download Complete!") << suggested;
        EXPECT_EQ(FilesBelow(outside.path()), (std::set<std::string>{"a/b/bottles/" + name}))
            << "suggested " << suggested;
        fs::remove(folder + name);
    }
}

TEST_F(DownloadsTest, ADownloadNeedsAChosenTypeAFolderAndAWebAddress) {
    Offer("stout.brew", "Stout");
    List(PlistOf({"Stout;" + server.Address("/files/stout.brew"), "Local;file:///etc/hostname"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());

    c.available.selectItemAtIndex(-1);
    EXPECT_FALSE(downloads.configureSheet_download());
    EXPECT_EQ(c.text.value, "Choose a bottle type to download first.");

    c.available.selectItemAtIndex(0);
    folder.clear();
    EXPECT_FALSE(downloads.configureSheet_download());
    EXPECT_EQ(c.text.value, "Choose a bottle data folder first: downloads are saved there.");

    folder = userFolder;
    c.available.selectItemAtIndex(1);
    EXPECT_FALSE(downloads.configureSheet_download());
    EXPECT_EQ(c.text.value, "Download failed! Error - Only http and https addresses can be "
                            "downloaded. file:///etc/hostname");
    EXPECT_FALSE(downloads.downloading());
    EXPECT_TRUE(c.save.enabled && c.download.enabled);

    // A folder that cannot be made: a file stands where it would be.
    Put(home / "blocked", "a file");
    folder = home / "blocked/bottles/";
    c.available.selectItemAtIndex(0);
    ASSERT_TRUE(downloads.configureSheet_download());
    Finish();
    EXPECT_NE(c.text.value.find("is not a folder"), std::string::npos) << c.text.value;
    EXPECT_EQ(c.text.value.substr(0, 25), "Download failed! Error - ");
}

TEST_F(DownloadsTest, TheMainLoopStepsADownloadToItsEndAndThenRests) {
    Offer("stout.brew", "Stout");
    const std::string bytes = Contents(site / "files/stout.brew");
    List(PlistOf({"Stout;" + server.Address("/_/slow/0.3/files/stout.brew")}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    DownloadPump pump(downloads);
    downloads.onStarted = [&pump] { pump.Kick(); };
    ASSERT_TRUE(downloads.configureSheet_download());
    EXPECT_TRUE(pump.Pumping());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int iterations = 0;
    // The download, then the list fetched again after it.
    while (downloads.busy() && std::chrono::steady_clock::now() < end) {
        g_main_context_iteration(nullptr, TRUE);
        iterations++;
    }
    EXPECT_EQ(c.text.value, "Download Complete!");
    EXPECT_TRUE(downloads.lastListRead()) << "the list was fetched again on the loop";
    EXPECT_EQ(Contents(userFolder + "stout.brew"), bytes);
    EXPECT_FALSE(pump.Pumping()) << "no timer once the download has ended";
    // The server waits 0.3 s: the loop sleeps between steps, it does not spin.
    EXPECT_LT(iterations, 300);
}

TEST(DownloadParts, SafeNamesAreBaseNamesOrComeFromTheAddress) {
    EXPECT_EQ(DownloadFile::SafeName("stout.zip", "x.brew"), "stout.zip");
    EXPECT_EQ(DownloadFile::SafeName(std::string(300, 'a') + ".brew", "x.brew"), "x.brew");
    EXPECT_EQ(DownloadFile::SafeName("tab\there.brew", "get"), "get.brew");
    EXPECT_EQ(DownloadFile::SafeName("", std::string(300, 'b')), "download.brew");
    EXPECT_EQ(DownloadFile::SafeName("", std::string(253, 'b')).size(), 255u);
    EXPECT_EQ(DownloadFile::SafeName(".hidden", ".."), "download.brew");
}

TEST(DownloadParts, GzipMembersFollowEachOtherAndTheOutputIsBounded) {
    std::string out;
    const auto keep = [&out](const char* data, size_t length) {
        out.append(data, length);
        return true;
    };
    const std::string big(200000, 'q');
    const std::string two = GzipOf("first ") + GzipOf(big);
    {
        GzipDecoder decoder(keep, 1 << 20);
        // Byte by byte across both members, then the rest in one go.
        for (size_t i = 0; i < 100; i++) {
            ASSERT_TRUE(decoder.Write(&two[i], 1)) << decoder.error();
        }
        ASSERT_TRUE(decoder.Write(two.data() + 100, two.size() - 100)) << decoder.error();
        EXPECT_TRUE(decoder.Finish()) << decoder.error();
        EXPECT_EQ(out, "first " + big);
    }
    out.clear();
    {
        GzipDecoder decoder(keep, 100000);
        EXPECT_FALSE(decoder.Write(two.data(), two.size()));
        EXPECT_EQ(decoder.error(), "the decoded file is larger than 100000 bytes");
        EXPECT_LE(out.size(), 100000u);
        EXPECT_FALSE(decoder.Write("more", 4)) << "nothing after a failure";
    }
    GzipDecoder empty(keep, 10);
    EXPECT_FALSE(empty.Finish());
}

// The view's own catalogue, through a real preview view.
class ViewDownloadsTest : public GLFixture {};

TEST_F(ViewDownloadsTest, BeforeTheFirstFrameEveryTypeIsOffered) {
    TempDir home, site, resources;
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("no_proxy", "127.0.0.1", 1);
    LoopbackServer server;
    ASSERT_TRUE(server.Start(site.path()));
    {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
        store->setObject(server.Address(), "WebServer");
        ASSERT_TRUE(store->synchronize());
    }
    Put(site / "mac/zips/tumblix/bottleTypes.plist",
        PlistOf({"Bottle 0;http://127.0.0.1/0.brew", "Stout;http://127.0.0.1/s.brew",
                 "Ale;http://127.0.0.1/a.brew"}));
    scenefiles::WriteResources(resources.path());
    scenefiles::WriteBottles(resources.path(), 1); // "Bottle 0": not the user's
    WriteType(UserBottleFolder() + "stout.brew", fixtures::Upright("Stout"));

    NSRect frame;
    frame.width = viewWidth;
    frame.height = viewHeight;
    TumblixView view(frame, true, &window, resources.path());
    view.seed = 7;
    Controls c;
    BottleDownloads downloads(c.Outlets());
    downloads.UseView(view);
    ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"Bottle 0", "Stout", "Ale"}));

    view.startAnimation();
    view.animateOneFrame();
    ASSERT_NE(view.ssMain, nullptr) << view.setupError;
    ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"Bottle 0", "Ale"}));
    EXPECT_EQ(downloads.numDownloads, 2u);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
}

} // namespace
