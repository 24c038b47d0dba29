// Seed preference files for fuzz_prefs: a fresh store, one with every key
// set to something unusual, escapes, comments and other groups, and a large one.
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        const char* files[][2] = {
            {"defaults.ini",
             "[dwTumblixSS]\nversion=1.0\nMainMonitorOnly=false\nBottleSize=50\nMaxBottle=5\n"
             "GoodShine=true\nDrunkenBG=true\nBGType=0\nBGRes=1\nPlaySound=true\n"
             "BGPath=/usr/share/backgrounds/\nVolume=100\nShowClock=true\nClock12Hr=false\n"
             "ShowCountdown=false\nCDHr=17\nCDMin=30\nBGColR=1\nBGColG=1\nBGColB=1\n"},
            {"unusual.ini",
             "[dwTumblixSS]\nversion=1.0\nMaxBottle=-9223372036854775808\nVolume=70000\n"
             "BGType=4294967298\nBGColR=1e400\nBGColG=nan\nBGColB=-0.0\nCDHr= 12 \nCDMin=0x10\n"
             "BottleSelection=a.brew#b.brew###\nGoodShine=1\nDrunkenBG=yes\n"},
            {"escapes.ini", "# a comment\n[other]\nkey=value\n[dwTumblixSS]\nversion=1.0\n"
                            "BGPath=\\s/pics;one#two\\n\\t\\\\end \nBottleSelection=##\n"},
            {"oldversion.ini", "[dwTumblixSS]\nversion=0.9\nBottleSize=80\nBottleSelection=x#\n"},
        };
        seeds::Files out;
        for (const auto& file : files) {
            out.push_back({file[0], seeds::Text(file[1])});
        }
        // A selection of 100000 switched-off types.
        std::string large = std::string(files[0][1]) + "BottleSelection=";
        for (int i = 0; i < 100000; i++) {
            large += "type" + std::to_string(i) + ".brew#";
        }
        out.push_back({"large.ini", seeds::Text(large + "#\n")});
        return out;
    });
}
