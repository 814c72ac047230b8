// Event bindings: callbacks run at once when an event is queued, found in a keyed map under
// keys "code:window:object:type" in which -1 stands for any value.
#pragma once

#include "qv/events.h" // BindEvent and its callbacks
#include "runtime/core/layout.h"
#include "runtime/window/keyed_map.h"

struct CallbackNode {
    CallbackNode* next;
    BoundCallback callback;
};
QV_ASSERT_SIZE(CallbackNode, 8);

// The element stored under a key.
struct EventBinding {
    CallbackNode* callbacks; // run in list order
    int window;              // the window whose closing deletes the binding
};
QV_ASSERT_SIZE(EventBinding, 8);

// Four signed 32-bit numbers, three colons and the terminator.
constexpr int BINDING_KEY_SIZE = 48;

extern KeyedMap* EventBindings;

// Part of the posted-event layer's start-up: an empty binding map.
void CreateEventBindings();

// Runs the callbacks bound under one key.
void DispatchBoundCallbacks(int code, int window, int object, int type);
// Runs the callbacks of all five keys of an event, while it is current.
void RunBoundCallbacks(int code, int window, int object, int type);
// Deletes every binding of a window number and frees the callback nodes BindEvent made, no
// others: nodes that other code linked in stay that code's. A node deleted while its list is
// being walked is freed once no walk is under way.
void RemoveWindowBindings(int window);

// Writes the key of (code, window, object, type), as "%d:%d:%d:%d" would; returns its length.
int FormatBindingKey(char* key, int code, int window, int object, int type);
