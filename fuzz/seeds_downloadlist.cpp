// Seed lists for fuzz_downloadlist: XML and binary property lists of bottle
// types, long and odd entries, and roots that are not an array of strings.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                 "<plist version=\"1.0\">\n";
        // Three strings, the first two name;address and the third without a separator.
        const std::string binary =
            std::string("bplist00\xa3\x01\x02\x03_\x10\x1dStout;http://127.0.0.1/s.brew"
                        "_\x10&Lager;https://example.org/l.brew;extra\\no separator\x08\x0c,U") +
            std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x04" +
            std::string(15, '\0') + "b";
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
        return seeds::Files{
            {"three.plist",
             seeds::Text(head + "<array>\n<string>Stout;http://127.0.0.1:8018/s.brew</string>\n"
                                "<string>xInstalled;http://127.0.0.1/x.brew</string>\n"
                                "<string>Ale;https://example.org/a.brew;ignored</string>\n"
                                "</array>\n</plist>\n")},
            {"odd.plist",
             seeds::Text(head +
                         "<array><string>no separator</string><string>;</string>"
                         "<string>Empty;</string><string>&lt;&amp;&gt;;http://h/"
                         "&#x3b;</string><string>" +
                         std::string(60, 'n') + "\xc3\xa9;http://h/" + std::string(600, 'a') +
                         "</string><string/></array></plist>\n")},
            {"dict.plist",
             seeds::Text(head + "<dict><key>a</key><string>b;c</string></dict></plist>\n")},
            {"mixed.plist",
             seeds::Text(head + "<array><string>a;b</string><array><string>c;d</string></array>"
                                "<integer>7</integer><data>AAEC</data></array></plist>\n")},
            {"binary.plist", seeds::Text(binary)},
            {"deep.plist", seeds::Text(deep + "</plist>\n")},
            {"wide.plist", seeds::Text(wide + "</array></plist>\n")},
        };
    });
}
