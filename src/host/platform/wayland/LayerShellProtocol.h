#ifndef TUMBLIX_HOST_PLATFORM_WAYLAND_LAYERSHELLPROTOCOL_H
#define TUMBLIX_HOST_PLATFORM_WAYLAND_LAYERSHELLPROTOCOL_H

// The layer shell's generated C header names an argument "namespace", a
// C++ keyword: everything it includes comes first, then the header with
// the word renamed.
#include <wayland-client.h>

#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#endif
