// A desktop's own settings file as the desktop picture lookup reads it: the
// first byte picks Xfce's channel file or KDE Plasma's applet settings, the
// rest is the file. Whatever it says, the answer is no picture or a regular
// file, and the lookup returns.
#include "FuzzInput.h"
#include "host/platform/files/DesktopPicture.h"

#include <fstream>
#include <sys/stat.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::create_directories(fuzzinput::Folder() + "/xfce4/xfconf/xfce-perchannel-xml");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool kde = data[0] & 1;
    DesktopPictureQuery q;
    q.desktops = kde ? "KDE" : "XFCE";
    q.configHome = fuzzinput::Folder();
    q.monitor = data[0] >> 4;
    q.monitorName = (data[0] & 2) ? "HDMI-1" : "";
    const std::string file = q.configHome + (kde ? "/plasma-org.kde.plasma.desktop-appletsrc"
                                                 : "/xfce4/xfconf/xfce-perchannel-xml/"
                                                   "xfce4-desktop.xml");
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), std::streamsize(size - 1));
    const std::string picture = DesktopPictureFor(q);
    struct stat info;
    fuzzinput::Check(picture.empty() ||
                         (stat(picture.c_str(), &info) == 0 && S_ISREG(info.st_mode)),
                     "the picture named is a regular file");
    return 0;
}
