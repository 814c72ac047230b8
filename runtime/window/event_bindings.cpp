#include "runtime/window/event_bindings.h"

#include "runtime/core/address_set.h"
#include "runtime/core/heap.h"

#include <string.h>

KeyedMap* EventBindings;

namespace {

// The callback nodes BindEvent makes are runtime heap blocks whose addresses are kept, so that
// deleting a binding can tell them from nodes that others linked in without reading those. The
// extra word holds a node that must wait until no callback list is being walked any more before
// it is freed.
struct OwnedCallbackNode {
    CallbackNode node;
    OwnedCallbackNode* waiting;
};

AddressSet ownedNodes;
int walksRunning;
OwnedCallbackNode* waitingNodes;

char* AppendNumber(char* out, int value) {
    unsigned magnitude = static_cast<unsigned>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    while (count)
        *out++ = digits[--count];
    return out;
}

char* AppendField(char* out, int value) {
    out = AppendNumber(out, value);
    *out++ = ':';
    return out;
}

void FreeOwnedNode(OwnedCallbackNode* owned) {
    AddressSet_Remove(&ownedNodes, reinterpret_cast<uintptr_t>(owned));
    RuntimeFree(owned);
}

void FreeWaitingNodes() {
    while (waitingNodes) {
        OwnedCallbackNode* next = waitingNodes->waiting;
        FreeOwnedNode(waitingNodes);
        waitingNodes = next;
    }
}

void RunCallbacksUnder(const char* key) {
    auto* binding = static_cast<EventBinding*>(Map_Find(EventBindings, key));
    if (!binding)
        return;
    // A callback may delete this very binding; its nodes then stay until the walk is over.
    ++walksRunning;
    for (CallbackNode* node = binding->callbacks; node; node = node->next)
        if (node->callback)
            node->callback();
    if (--walksRunning == 0)
        FreeWaitingNodes();
}

void FreeOwnedNodes(CallbackNode* list) {
    while (list) {
        CallbackNode* next = list->next;
        if (AddressSet_Contains(&ownedNodes, reinterpret_cast<uintptr_t>(list))) {
            auto* owned = reinterpret_cast<OwnedCallbackNode*>(list);
            if (walksRunning) {
                owned->waiting = waitingNodes;
                waitingNodes = owned;
            } else {
                FreeOwnedNode(owned);
            }
        }
        list = next;
    }
}

// Everything here lives in the runtime heap.
void ForgetEventBindings() {
    EventBindings = nullptr;
    ownedNodes = {};
    walksRunning = 0;
    waitingNodes = nullptr;
}

} // namespace

void CreateEventBindings() {
    // A runtime started again on a fresh heap must not free the map of the last one.
    ForgetEventBindings();
    RuntimeHeap_OnDestroy(ForgetEventBindings);
    Map_Create(sizeof(EventBinding), 7, nullptr, &EventBindings, 1024);
}

int FormatBindingKey(char* key, int code, int window, int object, int type) {
    char* end =
        AppendNumber(AppendField(AppendField(AppendField(key, code), window), object), type);
    *end = 0;
    return static_cast<int>(end - key);
}

int BindEvent(int code, int window, int object, int type, BoundCallback callback) {
    if (!EventBindings || !callback)
        return 0;
    auto* owned = static_cast<OwnedCallbackNode*>(RuntimeAlloc(sizeof(OwnedCallbackNode)));
    if (!owned)
        return 0;
    if (!AddressSet_Add(&ownedNodes, reinterpret_cast<uintptr_t>(owned))) {
        RuntimeFree(owned);
        return 0;
    }
    owned->node.next = nullptr;
    owned->node.callback = callback;
    owned->waiting = nullptr;
    char key[BINDING_KEY_SIZE];
    FormatBindingKey(key, code, window, object, type);
    auto* binding = static_cast<EventBinding*>(Map_Find(EventBindings, key));
    if (!binding) {
        binding = static_cast<EventBinding*>(Map_Add(EventBindings, key, 0));
        if (!binding) {
            FreeOwnedNode(owned);
            return 0;
        }
        binding->window = window;
    }
    CallbackNode** link = &binding->callbacks;
    while (*link)
        link = &(*link)->next;
    *link = &owned->node;
    return 1;
}

void DispatchBoundCallbacks(int code, int window, int object, int type) {
    if (!EventBindings)
        return;
    char key[BINDING_KEY_SIZE];
    FormatBindingKey(key, code, window, object, type);
    RunCallbacksUnder(key);
}

void RunBoundCallbacks(int code, int window, int object, int type) {
    // An empty map can find nothing: every event is queued without a binding in most programs.
    if (!EventBindings || EventBindings->elementCount == 0)
        return;
    // The five keys share their beginnings, so each is finished from the longest one it shares.
    char key[BINDING_KEY_SIZE];
    char* afterCode = AppendField(key, code);
    char* afterWindow = AppendField(afterCode, window);
    char* afterObject = AppendField(afterWindow, object);
    *AppendNumber(afterObject, type) = 0;
    RunCallbacksUnder(key);
    strcpy(afterObject, "-1");
    RunCallbacksUnder(key);
    strcpy(afterWindow, "-1:-1");
    RunCallbacksUnder(key);
    strcpy(afterCode, "-1:-1:-1");
    RunCallbacksUnder(key);
    *AppendNumber(AppendField(AppendField(afterCode, ANY_EVENT_FIELD), object), type) = 0;
    RunCallbacksUnder(key);
}

void RemoveWindowBindings(int window) {
    if (!EventBindings)
        return;
    Map_Reset(EventBindings);
    while (auto* binding = static_cast<EventBinding*>(Map_Next(EventBindings))) {
        if (binding->window != window)
            continue;
        CallbackNode* callbacks = binding->callbacks;
        Map_DeleteCurrent(EventBindings);
        FreeOwnedNodes(callbacks);
    }
}
