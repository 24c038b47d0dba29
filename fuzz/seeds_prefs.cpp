// Seed preference files for fuzz_prefs: a fresh store, one with every key
// set to something unusual, escapes, comments and other groups.
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 1;
    }
    const std::string folder = argv[1];
    const char* seeds[][2] = {
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
    for (const auto& seed : seeds) {
        std::ofstream(folder + "/" + seed[0], std::ios::binary) << seed[1];
    }
    // A large one: a selection of 100000 switched-off types.
    std::string large = std::string(seeds[0][1]) + "BottleSelection=";
    for (int i = 0; i < 100000; i++) {
        large += "type" + std::to_string(i) + ".brew#";
    }
    std::ofstream(folder + "/large.ini", std::ios::binary) << large << "#\n";
    return 0;
}
