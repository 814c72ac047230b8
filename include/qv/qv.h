// The QV runtime for a program: windows and events, gadgets, a Direct3D 9 screen, 2D drawing
// and images. Link QV::runtime (find_package(QV)); start with StartAppRuntime, end with
// EndAppRuntime. The reference is docs/API.md.
#pragma once

#include "qv/core.h"
#include "qv/drawing.h"
#include "qv/events.h"
#include "qv/gadgets.h"
#include "qv/image.h"
#include "qv/runtime.h"
#include "qv/screen.h"
#include "qv/window.h"
