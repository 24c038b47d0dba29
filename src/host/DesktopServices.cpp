#include "host/DesktopServices.h"

namespace {

std::vector<NSScreen> knownScreens;
int mainNumber = 0;
DesktopGrabber grabber = nullptr;
DesktopPictureSource pictureSource = nullptr;

bool Overlaps(const NSRect& a, const NSRect& b) {
    const double left = a.x > b.x ? a.x : b.x;
    const double right = a.x + a.width < b.x + b.width ? a.x + a.width : b.x + b.width;
    const double top = a.y > b.y ? a.y : b.y;
    const double bottom = a.y + a.height < b.y + b.height ? a.y + a.height : b.y + b.height;
    return right > left && bottom > top;
}

} // namespace

void SetScreens(const std::vector<NSScreen>& screens, int mainScreenNumber) {
    knownScreens = screens;
    mainNumber = mainScreenNumber;
}

const std::vector<NSScreen>& Screens() {
    return knownScreens;
}

int MainScreenNumber() {
    return mainNumber;
}

const NSScreen* ScreenForFrame(const std::vector<NSScreen>& screens, int mainScreenNumber,
                               const NSRect& frame) {
    for (const NSScreen& s : screens) {
        if (Overlaps(s.frame, frame)) {
            return &s;
        }
    }
    for (const NSScreen& s : screens) {
        if (s.number == mainScreenNumber) {
            return &s;
        }
    }
    return nullptr;
}

void SetDesktopGrabber(DesktopGrabber g) {
    grabber = g;
}

DesktopGrabber CurrentDesktopGrabber() {
    return grabber;
}

void SetDesktopPictureSource(DesktopPictureSource source) {
    pictureSource = source;
}

DesktopPictureSource CurrentDesktopPictureSource() {
    return pictureSource;
}
