#include "runtime/lifecycle.h"

#include "runtime/core/array.h"
#include "runtime/core/heap.h"
#include "runtime/drawing/drawing_context.h"
#include "runtime/image/alpha_blending.h"
#include "runtime/image/bitmap_decoder.h"
#include "runtime/image/image_codecs.h"
#include "runtime/image/image_objects.h"
#include "runtime/screen/screen_library.h"
#include "runtime/screen/windowed_screen.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/keyed_map.h"
#include "runtime/window/posted_events.h"
#include "runtime/window/window.h"

namespace {

typedef void (*LibraryRoutine)();

// Start-up routines in their fixed order; none of their results is tested. Libraries not
// linked into this build keep their place as a comment.
// clang-format off
const LibraryRoutine StartupOrder[] = {
    /*  1 */ StartStringArea,    // string heap and work buffer
    /*  2 */ StartMemoryHeap,    // memory-block heap
    /*  3 */ StartImageDecoders, // empty decoder table and the decoders' data block
    /*  4 */ StartAlphaBlending, // msimg32's AlphaBlend, if it is there
    /*  5 */ StartImageRegistry, // the registry of numbered images
    /*  6 */ StartDrawingSlot,   // the drawing layer's thread-local slot
    /*  7 */ StartGadgetLayer,   // default font, gadget registry, common controls
    /*  8 */ StartMapHooks,      // map operations for the structure walkers
    /*  9 */ StartPostedEvents,  // event queue, posted-event window and message, bindings
    /* 10 */ StartWindowLibrary, // window registry, class icon and cursor
    /* 11 */ StartArrays,        // array operations for the structure walkers
    /* 12 */ StartBitmapDecoder, // the decoder of bitmap files
};

// Shutdown routines in their fixed order; each does nothing for a library that only started.
const LibraryRoutine ShutdownOrder[] = {
    /* 1 */ ReleaseScreen,       // the windowed screen, if open
    /* 2 */ EndScreenLibrary,    // any open screen and the Direct3D object
    /* 3 */ EndWindowLibrary,    // every window still open
    /* 4 */ EndPostedEvents,     // the posted-event window
    /* 5 */ EndGadgetLayer,      // the gadget kinds' shared window, if any
    /* 6 */ EndImageRegistry,    // every image still registered
    /* 7 */ EndAlphaBlending,    // unloads msimg32
    /* 8 */ EndMemoryHeap,       // memory-block heap
};
// clang-format on

} // namespace

HANDLE StartRuntimeLibraries() {
    HANDLE heap = CreateRuntimeHeap();
    for (LibraryRoutine start : StartupOrder)
        start();
    return heap;
}

void ShutdownRuntime() {
    for (LibraryRoutine end : ShutdownOrder)
        end();
}

void EndRuntimeHeaps() {
    EndStringArea();
    DestroyRuntimeHeap();
}

int StartAppRuntime(int options) {
    // A runtime already running keeps its heap and its libraries.
    if (!RuntimeHeap && !StartRuntimeLibraries())
        return 0;
    if ((options & RUNTIME_WITH_SCREEN) && !StartScreenLibrary())
        return 0;
    return 1;
}

void EndAppRuntime() {
    // Once ended, the libraries' records went with the heap: there is nothing to shut down.
    if (RuntimeHeap)
        ShutdownRuntime();
    EndRuntimeHeaps();
}
