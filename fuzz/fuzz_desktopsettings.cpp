// A desktop's own settings file as the desktop picture lookup reads it: the
// first byte picks Xfce's channel file or KDE Plasma's applet settings, the
// rest is the file. Whatever it says, the answer is no picture or a regular
// file, and the lookup returns.
#include "host/platform/DesktopPicture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string home;

void Remove() {
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char shm[] = "/dev/shm/tumblix-fuzz-desktop-XXXXXX";
    char tmp[] = "/tmp/tumblix-fuzz-desktop-XXXXXX";
    const char* made = mkdtemp(shm);
    if (made == nullptr) {
        made = mkdtemp(tmp);
    }
    if (made == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    home = made;
    std::atexit(&Remove);
    std::filesystem::create_directories(home + "/xfce4/xfconf/xfce-perchannel-xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool kde = data[0] & 1;
    DesktopPictureQuery q;
    q.desktops = kde ? "KDE" : "XFCE";
    q.configHome = home;
    q.monitor = data[0] >> 4;
    q.monitorName = (data[0] & 2) ? "HDMI-1" : "";
    const std::string file = kde ? home + "/plasma-org.kde.plasma.desktop-appletsrc"
                                 : home + "/xfce4/xfconf/xfce-perchannel-xml/xfce4-desktop.xml";
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
    const std::string picture = DesktopPictureFor(q);
    struct stat info;
    if (!picture.empty() && (stat(picture.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fprintf(stderr, "broken: named %s, which is no regular file\n", picture.c_str());
        std::abort();
    }
    return 0;
}
