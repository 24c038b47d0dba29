#include "BottleFiles.h"
#include "FakeControls.h"
#include "LoopbackServer.h"
#include "SaverFiles.h"
#include "TempDir.h"
#include "bottles/MainClass.h"
#include "host/BottleDownloads.h"
#include "host/SettingsIO.h"
#include "host/platform/files/PreferenceStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <set>
#include <zlib.h>

// The bottle-type list and downloads, on plain controls that log what is
// done to them, against a web server on the loopback interface.

namespace fs = std::filesystem;

namespace {

struct Controls {
    Journal journal;
    Fake available{journal, "oAvailableDownloads"}, check{journal, "oCheckDownloads"},
        download{journal, "oDownload"}, save{journal, "oSave"}, progress{journal, "oProgress"},
        text{journal, "oDownloadText"}, directory{journal, "oDirectory"};

    DownloadOutlets Outlets() {
        return {&available, &check, &progress, &download, &text, &directory, &save};
    }
    bool AllEnabled() const {
        return save.enabled && download.enabled && available.enabled && check.enabled &&
               directory.enabled;
    }
    Journal Tail(size_t n) const { return Journal(journal.end() - long(n), journal.end()); }
};

void Put(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void PutType(const std::string& path, const std::string& typeName) {
    const brew::Bytes bytes = fixtures::Encode(fixtures::Upright(typeName));
    Put(path, std::string(bytes.begin(), bytes.end()));
}

// An array of strings as libplist writes it, XML or binary.
std::string PlistOf(const std::vector<std::string>& strings, bool binary = false) {
    plist_t array = plist_new_array();
    for (const std::string& s : strings) {
        plist_array_append_item(array, plist_new_string(s.c_str()));
    }
    char* data = nullptr;
    uint32_t length = 0;
    (binary ? plist_to_bin : plist_to_xml)(array, &data, &length);
    const std::string out(data, length);
    std::free(data);
    plist_free(array);
    return out;
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

// Every file below a folder, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files.insert(fs::relative(entry.path(), folder).string());
    }
    return files;
}

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";

class DownloadsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saverfiles::UseUserFolders(home.path());
        // A proxy of the machine must not stand between the tests and their server.
        setenv("no_proxy", "127.0.0.1", 1);
        folder = userFolder = UserBottleFolder();
        fs::create_directories(userFolder);
        ASSERT_TRUE(server.Start(site.path())) << "python3 " << site.path();
        Serve(server.Address());
        downloads.limits.connectSeconds = 2;
        downloads.limits.textSeconds = 2;
        downloads.limits.stallSeconds = 1;
        downloads.limits.maxFileBytes = 1 << 20;
        downloads.limits.maxTextBytes = 1 << 20;
        downloads.bottleFolder = [this] { return folder; };
        downloads.bottleManager = [this] { return manager.get(); };
        PutType(site / "files/stout.brew", "Stout");
        stout = Contents(site / "files/stout.brew");
    }

    void Serve(const std::string& base) {
        auto store = ScreenSaverDefaults::defaultsForModuleWithName(MODULE_NAME);
        store->setObject(base, "WebServer");
        ASSERT_TRUE(store->synchronize());
    }
    void List(const std::string& bytes) { Put(site / "mac/zips/tumblix/bottleTypes.plist", bytes); }
    // The catalogue a view has: a type of its own and the user's folder.
    void Catalogue() {
        PutType(resources / "own.brew", "A type of the saver's own");
        manager = std::make_unique<MAINCLASS>();
        std::snprintf(manager->bottlePath, sizeof manager->bottlePath, "%s",
                      resources.slash().c_str());
        std::snprintf(manager->bottlePath2, sizeof manager->bottlePath2, "%s", userFolder.c_str());
        manager->BuildBottleList();
    }
    // Runs the download, and the list fetched after it, to the end.
    void Finish() {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (downloads.busy() && std::chrono::steady_clock::now() < end) {
            downloads.Wait(50);
            downloads.Step();
        }
        ASSERT_FALSE(downloads.busy()) << "the download did not end";
    }
    // Lists one type at the server's `path`, downloads it and runs it to its end.
    void DownloadFrom(const std::string& path) {
        List(PlistOf({"Stout;" + server.Address(path)}));
        ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
        ASSERT_TRUE(downloads.configureSheet_download()) << c.text.value;
        Finish();
    }
    TempDir home, site, resources;
    std::string userFolder, folder, stout;
    LoopbackServer server;
    std::unique_ptr<MAINCLASS> manager;
    Controls c;
    BottleDownloads downloads{c.Outlets()};
};

TEST_F(DownloadsTest, TheListOffersWhatTheUserFolderLacksInListOrder) {
    PutType(userFolder + "mine.brew", "Stout");
    PutType(resources / "lager.brew", "Lager"); // not the user's
    Catalogue();
    ASSERT_GE(manager->numTypes, 2);
    const std::vector<std::string> strings = {
        "Lager;http://127.0.0.1/lager.brew",
        "Stout;http://127.0.0.1/other-name.brew", // present under another name
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
        EXPECT_TRUE(c.available.enabled && c.download.enabled);
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

    // A huge list is read only as far as the pop-up can offer, then sifted.
    std::vector<std::string> many;
    for (int i = 0; i < 100000; i++) {
        const std::string name = i == 5 ? "Stout" : "Type " + std::to_string(i);
        many.push_back(name + ";http://h/" + std::to_string(i));
    }
    List(PlistOf(many));
    downloads.limits.maxTextBytes = 16 << 20;
    ASSERT_TRUE(downloads.CheckDownloadsAndWait()) << c.text.value;
    EXPECT_EQ(downloads.numDownloads, DownloadList::kMaxEntries - 1) << "Stout is installed";
    EXPECT_EQ(c.available.items[5], "Type 6");
    EXPECT_EQ(c.available.items.back(), "Type 999");
    EXPECT_EQ(c.text.value, "The server lists 100000 bottle types; only the first 1000 were read.");

    // Nothing new: "None", and nothing to download.
    List(PlistOf({"Stout;http://127.0.0.1/s.brew"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"None"}));
    EXPECT_FALSE(c.available.enabled || c.download.enabled);
    EXPECT_EQ(downloads.numDownloads, 0u);
    EXPECT_FALSE(downloads.configureSheet_download());
}

TEST_F(DownloadsTest, AListThatCannotBeHadChangesNothingButTheStatus) {
    List(PlistOf({"Stout;http://127.0.0.1/s.brew"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    const auto refused = [&](const std::string& why, const std::string& expected) {
        c.journal.clear();
        EXPECT_FALSE(downloads.CheckDownloadsAndWait()) << why;
        EXPECT_EQ(c.available.items, (std::vector<std::string>{"Stout"})) << why;
        ASSERT_EQ(downloads.numDownloads, 1u) << why;
        EXPECT_EQ(c.journal, (Journal{"text " + c.text.value})) << why;
        EXPECT_EQ(c.text.value.substr(0, expected.size()), expected) << why;
    };

    Serve("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()));
    refused("no server", "Error! Could not connect to the server!");
    Serve(server.Address("/nowhere"));
    refused("no list there", "Error! The server has no list of bottle types (");
    Serve(server.Address("/_/slow/5"));
    refused("a slow server", "Error! The server did not send the list of bottle types within 2");
    Serve(server.Address("/_/endless"));
    refused("an endless list", "Error! The list of bottle types is larger than 1 MB!");
    // The list's path lands in the query, after the target the mode reads.
    Serve(server.Address("/_/redirect") + "?to=file:///etc/passwd&rest=");
    refused("a redirect to a file", "Error! The server sent the list of bottle types elsewhere");
    Serve("ftp://127.0.0.1/");
    refused("a server that is not a web server", "Error! The web server address");

    // Lists that cannot be read, or that would run the parser out of stack
    // (200000 nested arrays, 3 MB) or bloat it, refused before they are parsed.
    Serve(server.Address());
    downloads.limits.maxTextBytes = 8 << 20;
    std::string open, close, strings;
    for (int i = 0; i < 200000; i++) {
        open += "<array>";
        close += "</array>";
        strings += "<string/>";
    }
    const std::pair<std::string, std::string> unreadable[] = {
        {"garbage, not a list", ""},
        // The root's offset points past the objects (found by fuzzing).
        {std::string("bplist00\xff\0\0\0\0\0\0\x01\x01", 17) + std::string(7, '\0') + "\x01" +
             std::string(15, '\0') + "\x08",
         ""},
        {kHead + "<dict><key>a</key><string>b;c</string></dict></plist>", ""},
        {kHead + "<array><string>a;b</string><integer>3</integer></array></plist>", ""},
        {kHead + open + close + "</plist>", "it nests deeper than 16 levels!"},
        // Binary: an array holding an empty array.
        {std::string("bplist00\xa1\x01\xa0\x08\x0a", 13) + std::string(6, '\0') + "\x01\x01" +
             std::string(7, '\0') + "\x02" + std::string(15, '\0') + "\x0b",
         "it holds containers inside its root!"},
        {kHead + "<array>" + strings + "</array></plist>", "it holds more than 200000 entries!"},
    };
    for (const auto& [bytes, why] : unreadable) {
        List(bytes);
        refused(bytes.substr(0, 80),
                "Error! The server's list of bottle types cannot be read: " + why);
    }
}

TEST_F(DownloadsTest, AFinishedDownloadIsSavedUnderASafeNameReportedAndNoLongerOffered) {
    Catalogue();
    const std::string address = server.Address("/files/stout.brew");
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

    EXPECT_EQ(Contents(userFolder + "stout.brew"), stout);
    EXPECT_EQ(FilesBelow(userFolder), (std::set<std::string>{"stout.brew"}));
    EXPECT_EQ(c.progress.percent, 100.0);
    // The last progress, the handler's effects in order, then the list again
    // without the type.
    EXPECT_EQ(
        c.Tail(11),
        (Journal{"text Downloading, Please Wait: 100.00% Complete\n", "text Download Complete!",
                 "stopAnimation", "enable oAvailableDownloads", "enable oDownload",
                 "enable oCheckDownloads", "enable oDirectory", "enable oSave", "removeAllItems",
                 "enable oAvailableDownloads", "enable oDownload"}));
    EXPECT_EQ(c.available.items, (std::vector<std::string>{"Lager"}));
    EXPECT_TRUE(downloads.lastDownloadSaved());

    // Gzip is saved decoded, and a .gz file (application/gzip, two members)
    // without its ".gz"; without an announced length, bytes are counted.
    const struct {
        std::string path, savedAs, progress;
    } ways[] = {
        {"/_/gzip/files/stout.brew", "stout.brew", "100.00% Complete\n"},
        {"/files/lager.brew.gz", "lager.brew", "100.00% Complete\n"},
        {"/_/nolength/files/stout.brew", "stout.brew",
         std::to_string(stout.size()) + " bytes received\n"},
    };
    Put(site / "files/lager.brew.gz", GzipOf(stout.substr(0, 100)) + GzipOf(stout.substr(100)));
    manager.reset();
    for (const auto& way : ways) {
        fs::remove(userFolder + way.savedAs);
        c.progress.percent = 0;
        DownloadFrom(way.path);
        EXPECT_EQ(c.text.value, "Download Complete!") << way.path;
        EXPECT_EQ(Contents(userFolder + way.savedAs), stout) << way.path;
        EXPECT_EQ(c.Tail(11).front(), "text Downloading, Please Wait: " + way.progress);
    }
    EXPECT_EQ(c.progress.percent, 0) << "no length, no percentage";
    EXPECT_EQ(FilesBelow(userFolder), (std::set<std::string>{"stout.brew", "lager.brew"}));

    // Saved names never leave the bottle folder.
    TempDir outside;
    folder = outside / "a/b/bottles/"; // missing: made on the way
    // Suggested names (percent-encoded for the server), and what is saved.
    const std::pair<std::string, std::string> savedAs[] = {
        {"..%2F..%2Fx.brew", "x.brew"},  {".brew", "stout.brew"},  {"%2Fetc%2Fpasswd", "passwd"},
        {"dir%5C..%5Cy.brew", "y.brew"}, {"sub%2F", "stout.brew"}, {"bell%07.brew", "stout.brew"},
    };
    for (const auto& [suggested, name] : savedAs) {
        DownloadFrom("/_/named/" + suggested + "/files/stout.brew");
        EXPECT_EQ(c.text.value, "Download Complete!") << suggested;
        EXPECT_EQ(FilesBelow(outside.path()),
                  (std::set<std::string>{"a", "a/b", "a/b/bottles", "a/b/bottles/" + name}))
            << "suggested " << suggested;
        fs::remove(folder + name);
    }
    // The address's name gets the extension, within the longest file name.
    EXPECT_EQ(DownloadFile::SafeName("tab\there.brew", "get"), "get.brew");
    EXPECT_EQ(DownloadFile::SafeName("", std::string(253, 'b')), std::string(250, 'b') + ".brew");
}

TEST_F(DownloadsTest, AFailedDownloadLeavesTheFileThatWasThere) {
    const std::string gz = GzipOf(stout);
    Put(site / "files/cut.brew.gz", gz.substr(0, gz.size() / 2));
    std::string damaged = gz;
    damaged.replace(12, 40, 40, '\xff');
    Put(site / "files/damaged.brew.gz", damaged);
    Put(site / "files/bomb.brew.gz", GzipOf(std::string(3 << 20, '\0')));
    // A bottle whose last texture is too wide: it opens, but does not load.
    fixtures::BottleSpec badImage = fixtures::Upright("Stout");
    badImage.slots.push_back(brew::Image(4097, 1, 3));
    fixtures::Write(site / "files/badimage.brew", badImage);
    const std::string before = "the stout the user had, byte for byte";
    // Files that arrive whole (and decode cleanly, gzip or not) but are no
    // bottle type: none may replace the type of their name.
    fixtures::BottleSpec modelOnly = fixtures::Upright("Stout");
    modelOnly.slots.clear();
    const brew::Bytes noModel = brew::EncodeBottleFile(
        {"Stout"}, {brew::ImageLump(fixtures::Solid(2, 2, 1, 2, 3), false, 0),
                    brew::ImageLump(fixtures::Solid(2, 2, 1, 2, 3), false, 0)});
    brew::BottleHeader later{"Stout"};
    const std::string kPage = "<html><body>Moved to our new shop</body></html>";
    later.versionMajor = 2;
    const brew::Bytes wrong[] = {
        brew::Bytes(kPage.begin(), kPage.end()), fixtures::Encode(modelOnly), noModel,
        brew::EncodeBottleFile(later, {{brew::EncodeMS3D(badImage.model)}}),
        brew::EncodeResourceFile({brew::ImageLump(fixtures::Solid(2, 2, 1, 2, 3), false, 0)})};
    for (size_t i = 0; i < std::size(wrong); i++) {
        const std::string bytes(wrong[i].begin(), wrong[i].end());
        Put(site / ("files/wrong" + std::to_string(i) + "/stout.brew"), bytes);
        Put(site / ("files/wrong" + std::to_string(i) + "/stout.brew.gz"), GzipOf(bytes));
    }

    const std::pair<std::string, std::string> cases[] = {
        {"/_/cut/1000/files/stout.brew", "Transfer closed with"},
        {"/_/endless/stout.brew", "The file is larger than 1 MB."},
        {"/_/stall/stout.brew", "Operation too slow"},
        {"/files/missing/stout.brew", "The server answered with status 404."},
        {"/_/redirect/stout.brew?to=file:///etc/hostname",
         "The server redirected to an address that is not http or https"},
        {"/files/cut.brew.gz", "The gzip data ends early."},
        {"/files/damaged.brew.gz", "The gzip data is damaged"},
        {"/files/bomb.brew.gz", "The decoded file is larger than 1 MB."},
        // What a server sends as a success must be a bottle the saver loads.
        {"/_/nolengthcut/1000/files/stout.brew", "What arrived is not a bottle data file"},
        {"/files/badimage.brew",
         "Image 3 of the bottle does not decode (Image too large: 4097 x 1"},
        {"/_/huge/stout.brew", "The file is larger than 1 MB."}, // announced: stopped at once
        {"/files/wrong0/stout.brew.gz", "What arrived is not a bottle data file"},
        {"/files/wrong1/stout.brew", "The bottle data file holds no model and texture"},
        {"/files/wrong2/stout.brew.gz", "The bottle's model does not load"},
        {"/files/wrong3/stout.brew.gz", "What arrived is not a bottle data file"},
        {"/files/wrong4/stout.brew", "What arrived is not a bottle data file"},
    };
    const std::set<std::string> names = {"stout.brew", "cut.brew", "damaged.brew", "bomb.brew",
                                         "badimage.brew"};
    for (const auto& [path, description] : cases) {
        for (const std::string& name : names) {
            Put(userFolder + name, before);
        }
        c.journal.clear();
        DownloadFrom(path);
        const std::string expected = "Download failed! Error - " + description;
        EXPECT_EQ(c.text.value.substr(0, expected.size()), expected) << path;
        EXPECT_EQ(c.text.value.substr(c.text.value.size() - server.Address(path).size() - 1),
                  " " + server.Address(path))
            << path << ": the failing address last";
        for (const std::string& name : names) {
            EXPECT_EQ(Contents(userFolder + name), before) << path;
        }
        EXPECT_EQ(FilesBelow(userFolder), names) << path << ": no file left behind";
        EXPECT_EQ(c.Tail(6),
                  (Journal{"text " + c.text.value, "enable oAvailableDownloads", "enable oDownload",
                           "enable oCheckDownloads", "enable oDirectory", "enable oSave"}))
            << path << ": no list refresh, the bar's animation is not stopped";
        EXPECT_FALSE(downloads.lastDownloadSaved());
    }

    // A download stopped half way leaves everything as it was, too.
    List(PlistOf({"Stout;" + server.Address("/_/trickle/stout.brew")}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    ASSERT_TRUE(downloads.configureSheet_download());
    for (int i = 0; i < 500 && FilesBelow(userFolder).size() == names.size(); i++) {
        downloads.Wait(20);
        downloads.Step();
    }
    ASSERT_EQ(FilesBelow(userFolder).size(), names.size() + 1) << "no temporary file";
    downloads.cancelDownload();
    EXPECT_FALSE(downloads.downloading());
    EXPECT_EQ(c.text.value, "Download cancelled.");
    EXPECT_TRUE(c.AllEnabled());
    EXPECT_EQ(FilesBelow(userFolder), names);
    EXPECT_EQ(Contents(userFolder + "stout.brew"), before);
}

TEST_F(DownloadsTest, ADownloadNeedsAChosenTypeAFolderAndAWebAddressAndCountsItsBytes) {
    List(PlistOf({"Stout;" + server.Address("/files/stout.brew"), "Local;file:///etc/hostname"}));
    ASSERT_TRUE(downloads.CheckDownloadsAndWait());
    const auto refused = [&](int index, const std::string& dir, const std::string& text) {
        c.available.selectItemAtIndex(index);
        folder = dir;
        EXPECT_FALSE(downloads.configureSheet_download());
        EXPECT_EQ(c.text.value, text);
        EXPECT_FALSE(downloads.downloading());
        EXPECT_TRUE(c.AllEnabled());
    };
    refused(-1, userFolder, "Choose a bottle type to download first.");
    refused(0, "", "Choose a bottle data folder first: downloads are saved there.");
    refused(1, userFolder,
            "Download failed! Error - Only http and https addresses can be downloaded. "
            "file:///etc/hostname");

    // Bytes arrive in pieces; the percentage is of all received so far.
    downloads.download_didReceiveResponse(12000000);
    downloads.download_didReceiveDataOfLength(3000000);
    downloads.download_didReceiveDataOfLength(999999);
    EXPECT_EQ(c.text.value, "Downloading, Please Wait: 33.33% Complete\n");
    EXPECT_NEAR(c.progress.percent, 33.333, 0.001);
}

} // namespace
