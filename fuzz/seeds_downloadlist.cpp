// Seed lists for fuzz_downloadlist: XML and binary property lists of bottle
// types, long and odd entries, and roots that are not an array of strings.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [](const std::string& folder) {
        const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                 "<plist version=\"1.0\">\n";
        const std::string files[][2] = {
            {"three.plist", head + "<array>\n<string>Stout;http://127.0.0.1:8018/s.brew</string>\n"
                                   "<string>xInstalled;http://127.0.0.1/x.brew</string>\n"
                                   "<string>Ale;https://example.org/a.brew;ignored</string>\n"
                                   "</array>\n</plist>\n"},
            {"odd.plist",
             head +
                 "<array><string>no separator</string><string>;</string>"
                 "<string>Empty;</string><string>&lt;&amp;&gt;;http://h/&#x3b;</string>"
                 "<string>" +
                 std::string(60, 'n') + "\xc3\xa9;http://h/" + std::string(600, 'a') +
                 "</string><string/></array></plist>\n"},
            {"dict.plist", head + "<dict><key>a</key><string>b;c</string></dict></plist>\n"},
            {"mixed.plist", head + "<array><string>a;b</string><array><string>c;d</string></array>"
                                   "<integer>7</integer><data>AAEC</data></array></plist>\n"},
            {"binary.plist", std::string("\x62\x70\x6c\x69\x73\x74\x30\x30\xa3\x01\x02\x03\x5f\x10"
                                         "\x1d\x53\x74\x6f\x75\x74\x3b"
                                         "\x68\x74\x74\x70\x3a\x2f\x2f\x31\x32\x37\x2e\x30\x2e\x30"
                                         "\x2e\x31\x2f\x73\x2e\x62\x72"
                                         "\x65\x77\x5f\x10\x26\x4c\x61\x67\x65\x72\x3b\x68\x74\x74"
                                         "\x70\x73\x3a\x2f\x2f\x65\x78"
                                         "\x61\x6d\x70\x6c\x65\x2e\x6f\x72\x67\x2f\x6c\x2e\x62\x72"
                                         "\x65\x77\x3b\x65\x78\x74\x72"
                                         "\x61\x5c\x6e\x6f\x20\x73\x65\x70\x61\x72\x61\x74\x6f\x72"
                                         "\x08\x0c\x2c\x55\x00\x00\x00"
                                         "\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x04\x00"
                                         "\x00\x00\x00\x00\x00\x00\x00"
                                         "\x00\x00\x00\x00\x00\x00\x00\x62",
                                         134)},
        };
        bool ok = true;
        for (const auto& file : files) {
            ok = seeds::Write(folder, file[0], file[1]) && ok;
        }
        // Large ones, a few megabytes each: a list nested 200000 deep, and a
        // flat list of 30000 entries.
        std::string deep = head, wide = head + "<array>";
        for (int i = 0; i < 200000; i++) {
            deep += "<array>";
        }
        for (int i = 0; i < 200000; i++) {
            deep += "</array>";
        }
        for (int i = 0; i < 30000; i++) {
            wide +=
                "<string>T" + std::to_string(i) + ";http://h/" + std::to_string(i) + "</string>";
        }
        return seeds::Write(folder, "deep.plist", deep + "</plist>\n") &&
               seeds::Write(folder, "wide.plist", wide + "</array></plist>\n") && ok;
    });
}
