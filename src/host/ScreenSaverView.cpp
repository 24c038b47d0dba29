#include "host/ScreenSaverView.h"

ScreenSaverView::ScreenSaverView(NSRect frame, bool isPreview) : viewFrame(frame), preview(isPreview) {}

ScreenSaverView::~ScreenSaverView() = default;

void ScreenSaverView::startAnimation() { animating = true; }

void ScreenSaverView::stopAnimation() { animating = false; }

void ScreenSaverView::animateOneFrame() {}

void ScreenSaverView::setFrameSize(double width, double height) {
    viewFrame.width = width;
    viewFrame.height = height;
}

NSRect ScreenSaverView::bounds() const {
    NSRect b;
    b.width = viewFrame.width;
    b.height = viewFrame.height;
    return b;
}
