#include "runtime/window/posted_events.h"

#include "runtime/core/address_set.h"
#include "runtime/core/heap.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/event_queue.h"

HWND PostEventWindow;
UINT PostEventMessage;
PostMessageFunction PostEventPostMessage = PostMessageA;

namespace {

const char PostEventClassName[] = "PostEventClass";

// The message is registered system-wide and the window is found by its class name, so any
// process can post it, with any lParam. The receiver therefore takes only the records that
// PostEvent made and whose message has not been received yet, and never reads memory at any
// other lParam. A record's tag travels as the wParam too: an address posted again once it
// holds a newer record does not take that record before its own message.
//
// Posters on any thread, the receiver and the end meet under one lock. It is held only while a
// record is made, looked up or freed, never while a message is posted: nobody waits on a poster
// that stalls or dies in the window manager, and once the end has begun no poster touches the
// heap.
struct Outstanding {
    CRITICAL_SECTION lock;
    AddressSet records;
    bool accepting; // from the start of posted events to their end, or to the heap's
    DWORD lastTag;
    // Made before any thread can post. Holds are short: a waiter spins before it sleeps.
    Outstanding() { InitializeCriticalSectionAndSpinCount(&lock, 4000); }
} outstanding;

struct Locked {
    Locked() { EnterCriticalSection(&outstanding.lock); }
    ~Locked() { LeaveCriticalSection(&outstanding.lock); }
};

DWORD TagOf(WPARAM wParam) {
    return static_cast<DWORD>(wParam);
}

// Copies out and frees the outstanding record at lParam when the tag is its own; false for any
// other value, which is left alone.
bool TakeOutstanding(LPARAM lParam, WPARAM tag, PostedEventRecord* fields) {
    Locked locked;
    auto address = static_cast<uintptr_t>(lParam);
    if (!outstanding.accepting || !AddressSet_Contains(&outstanding.records, address))
        return false;
    auto* record = reinterpret_cast<PostedEventRecord*>(address);
    if (static_cast<DWORD>(record->posterWord) != TagOf(tag))
        return false;
    *fields = *record;
    AddressSet_Remove(&outstanding.records, address);
    RuntimeFree(record);
    return true;
}

// Stops taking posts. The records still outstanding are freed when free is set; else their heap
// is about to go with them. Returns the window they were posted to.
HWND StopAccepting(bool free) {
    Locked locked;
    outstanding.accepting = false;
    AddressSet& records = outstanding.records;
    if (free) {
        for (int i = 0; i < records.cellCount; ++i)
            if (records.cells[i])
                RuntimeFree(reinterpret_cast<void*>(records.cells[i]));
        AddressSet_Free(&records);
    }
    records = {};
    HWND window = PostEventWindow;
    PostEventWindow = nullptr;
    return window;
}

void ForgetPostedEvents() {
    StopAccepting(false);
}

void ReceivePostedEvent(WPARAM tag, LPARAM lParam) {
    PostedEventRecord event;
    if (TakeOutstanding(lParam, tag, &event))
        QueueEvent(event.code, event.object, event.window, event.type, event.data, nullptr);
}

} // namespace

void StartPostedEvents() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = PostEventWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = PostEventClassName;
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, PostEventClassName, nullptr, WS_CAPTION, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
    PostEventMessage = RegisterWindowMessageA("QV_PostEventMessage");
    CreateEventQueue();
    CreateEventBindings();
    RuntimeHeap_OnDestroy(ForgetPostedEvents);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    Locked locked;
    PostEventWindow = window;
    outstanding.records = {};
    outstanding.lastTag ^= now.LowPart ^ (GetTickCount() << 16) ^ GetCurrentProcessId();
    outstanding.accepting = window && PostEventMessage;
}

void EndPostedEvents() {
    // Nobody will poll for these events any more, and the heap of their records goes next.
    if (HWND window = StopAccepting(true)) {
        MSG msg;
        while (PeekMessageA(&msg, window, PostEventMessage, PostEventMessage, PM_REMOVE)) {
        }
        DestroyWindow(window);
    }
    DropQueuedEvents();
}

LRESULT CALLBACK PostEventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PostEventMessage && PostEventMessage)
        ReceivePostedEvent(wParam, lParam);
    // Any process can find the window by its class name; closing it would end posting.
    if (message == WM_CLOSE || (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE))
        return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

int PostEvent(int code, int object, int window, int type, void* data) {
    PostedEventRecord* record;
    HWND target;
    DWORD tag;
    {
        Locked locked;
        target = PostEventWindow;
        if (!outstanding.accepting || !target)
            return 0;
        record = static_cast<PostedEventRecord*>(RuntimeAlloc(sizeof(PostedEventRecord)));
        if (!record)
            return 0;
        if (++outstanding.lastTag == 0) // what a stranger posts most
            ++outstanding.lastTag;
        tag = outstanding.lastTag;
        *record = {static_cast<int>(tag), code, object, window, type, data};
        if (!AddressSet_Add(&outstanding.records, reinterpret_cast<uintptr_t>(record))) {
            RuntimeFree(record);
            return 0;
        }
    }
    if (PostEventPostMessage(target, PostEventMessage, tag, reinterpret_cast<LPARAM>(record)))
        return 1;
    // Refused (a full message queue, or the window is gone): nothing would ever take the
    // record, unless the end has freed it already.
    PostedEventRecord unused;
    TakeOutstanding(reinterpret_cast<LPARAM>(record), tag, &unused);
    return 0;
}
