// Seed files for fuzz_desktopsettings: an Xfce channel with two monitors and
// a KDE Plasma applet file with a panel and two desktops. The first byte
// picks the desktop (odd: KDE) and the monitor (high nibble).
#include "Seeds.h"

int main(int argc, char** argv) {
    return seeds::Main(argc, argv, [] {
        return seeds::Files{
            {"xfce.xml",
             seeds::Text(
                 "\x02"
                 R"(<?xml version="1.0" encoding="UTF-8"?>)"
                 "\n"
                 R"(<channel name="xfce4-desktop" version="1.0">)"
                 R"(<property name="backdrop" type="empty">)"
                 R"(<property name="screen0" type="empty">)"
                 R"(<property name="monitorHDMI-1" type="empty">)"
                 R"(<property name="workspace0" type="empty">)"
                 R"(<property name="last-image" type="string" value="/dev/null"/>)"
                 R"(</property></property><property name="monitor1" type="empty">)"
                 R"(<property name="workspace0" type="empty">)"
                 R"(<property name="last-image" type="string" value="file:///etc/hostname"/>)"
                 R"(</property></property></property></property></channel>)"
                 "\n")},
            {"plasma.ini",
             seeds::Text(
                 "\x11[Containments][1]\nformfactor=2\nlastScreen=0\nplugin=org.kde.panel\n\n"
                 "[Containments][7]\nactivityId=A\nformfactor=0\nlastScreen=1\n"
                 "wallpaperplugin=org.kde.image\n\n"
                 "[Containments][7][Wallpaper][org.kde.image][General]\n"
                 "Image=file:///etc/hostname\n\n"
                 "[Containments][8]\nlastScreen=0\n\n"
                 "[Containments][8][Wallpaper][org.kde.image][General]\n"
                 "Image=/usr/share/wallpapers/Next/\n")},
        };
    });
}
