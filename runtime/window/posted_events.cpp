#include "runtime/window/posted_events.h"

#include "runtime/core/heap.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/event_queue.h"

#include <stdint.h>

HWND PostEventWindow;
UINT PostEventMessage;

namespace {

const char PostEventClassName[] = "PostEventClass";

// Posters between reading the window and posting to it; shutdown waits for them.
volatile LONG postsInFlight;

// Every heap block has its header in front of it.
constexpr uintptr_t BlockHeaderRoom = 2 * sizeof(void*);

// Whether [from, to) is committed read-write private memory, as heap blocks are. Looking does
// not touch the memory.
bool IsHeapLikeMemory(uintptr_t from, uintptr_t to) {
    while (from < to) {
        MEMORY_BASIC_INFORMATION region;
        if (!VirtualQuery(reinterpret_cast<void*>(from), &region, sizeof region))
            return false;
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE ||
            region.Protect != PAGE_READWRITE)
            return false;
        from = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

// The message is registered system-wide and the window is found by its class name, so any
// process can post it with any lParam. Only a live block of the runtime heap that can hold a
// record is taken. The memory around the address is looked at first, so that asking the heap
// about it cannot fault.
bool IsPostedRecord(LPARAM lParam) {
    auto address = static_cast<uintptr_t>(lParam);
    if (!RuntimeHeap || address % MEMORY_ALLOCATION_ALIGNMENT || address < BlockHeaderRoom ||
        address > UINTPTR_MAX - sizeof(PostedEventRecord))
        return false;
    if (!IsHeapLikeMemory(address - BlockHeaderRoom, address + sizeof(PostedEventRecord)))
        return false;
    void* block = reinterpret_cast<void*>(address);
    return HeapValidate(RuntimeHeap, 0, block) &&
           HeapSize(RuntimeHeap, 0, block) >= sizeof(PostedEventRecord);
}

void ReceivePostedEvent(LPARAM lParam) {
    if (!IsPostedRecord(lParam))
        return;
    auto* record = reinterpret_cast<PostedEventRecord*>(lParam);
    QueueEvent(record->code, record->object, record->window, record->type, record->data, nullptr);
    HeapFree(RuntimeHeap, 0, record);
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
    PostEventWindow = CreateWindowExA(0, PostEventClassName, nullptr, WS_CAPTION, 0, 0, 1, 1,
                                      nullptr, nullptr, instance, nullptr);
    PostEventMessage = RegisterWindowMessageA("QV_PostEventMessage");
    CreateEventQueue();
    CreateEventBindings();
}

void EndPostedEvents() {
    HWND window = static_cast<HWND>(
        InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&PostEventWindow), nullptr));
    if (!window)
        return;
    // No new post reaches the window now. Posts that are under way finish, and what has been
    // posted is received before the window and its messages go.
    while (InterlockedCompareExchange(&postsInFlight, 0, 0) != 0)
        Sleep(0);
    MSG msg;
    while (PeekMessageA(&msg, window, PostEventMessage, PostEventMessage, PM_REMOVE))
        ReceivePostedEvent(msg.lParam);
    DestroyWindow(window);
}

LRESULT CALLBACK PostEventWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PostEventMessage && PostEventMessage)
        ReceivePostedEvent(lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

int PostEvent(int code, int object, int window, int type, void* data) {
    HANDLE heap = RuntimeHeap;
    if (!heap)
        return 0;
    auto* record = static_cast<PostedEventRecord*>(HeapAlloc(heap, 0, sizeof(PostedEventRecord)));
    if (!record)
        return 0;
    *record = {0, code, object, window, type, data};
    InterlockedIncrement(&postsInFlight);
    HWND target = static_cast<HWND>(InterlockedCompareExchangePointer(
        reinterpret_cast<PVOID volatile*>(&PostEventWindow), nullptr, nullptr));
    BOOL posted =
        target && PostMessageA(target, PostEventMessage, 0, reinterpret_cast<LPARAM>(record));
    InterlockedDecrement(&postsInFlight);
    if (!posted) {
        // Refused, for example by a full message queue: nothing will ever free the record.
        HeapFree(heap, 0, record);
        return 0;
    }
    return 1;
}
