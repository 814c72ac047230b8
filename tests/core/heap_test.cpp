#include "runtime/core/array.h"
#include "runtime/drawing/plain_output.h"
#include "runtime/image/image_objects.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/posted_events.h"
#include "runtime_fixture.h"
#include "window/event_probe.h"

#include <string.h>

#include <vector>

namespace {

std::vector<HANDLE> ProcessHeaps() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(heaps.size(), heaps.data()));
    return heaps;
}

bool IsProcessHeap(HANDLE heap) {
    for (HANDLE h : ProcessHeaps())
        if (h == heap)
            return true;
    return false;
}

} // namespace

TEST(Heaps, StartupMakesThreeHeapsAndShutdownRemovesThemAll) {
    size_t before = ProcessHeaps().size();
    StartRuntime();
    ASSERT_NE(RuntimeHeap, nullptr);
    ASSERT_NE(StringHeap, nullptr);
    ASSERT_NE(MemoryHeap, nullptr);
    EXPECT_EQ(Program.processHeap, RuntimeHeap);
    EXPECT_EQ(Program.instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(ProcessHeaps().size(), before + 3);
    EXPECT_EQ(StringBufferSize, 16);
    EXPECT_EQ(StringBufferPosition, 0);
    EXPECT_EQ(HeapSize(StringHeap, 0, StringBuffer), 16u);
    HANDLE made[] = {RuntimeHeap, StringHeap, MemoryHeap};

    ShutdownRuntime();
    EXPECT_EQ(MemoryHeap, nullptr);
    EndRuntime();
    EXPECT_EQ(RuntimeHeap, nullptr);
    EXPECT_EQ(StringHeap, nullptr);
    EXPECT_EQ(ProcessHeaps().size(), before);
    for (HANDLE heap : made)
        EXPECT_FALSE(IsProcessHeap(heap));
}

TEST(Heaps, RuntimeCanStartAgainAfterItEnded) {
    for (int run = 0; run < 3; ++run) {
        StartRuntime();
        EXPECT_NE(RuntimeHeap, nullptr);
        ShutdownRuntime();
        EndRuntime();
    }
}

int image, dynamicWindow;
HDC memory;
void Bound() {}

// What a hostile or careless caller does around the end: asks the posted-event window to
// close while the runtime runs, destroys it from inside, then calls every library's frees and
// opens after the runtime has ended. Each is harmless, and the runtime starts again after them.
TEST(Heaps, HostileCallsAroundTheEndAreHarmlessAndTheRuntimeStartsAgain) {
    StartRuntime();
    HWND postWindow = PostEventWindow;
    image = Registry_NumberOf(RegisterImage(AutoNumber, CreateImageBitmap(2, 2, 32), 2, 2, 32));
    dynamicWindow = static_cast<int>(OpenAppWindow(AutoNumber, 0, 0, 50, 50, "", WINDOW_INVISIBLE));
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        bool posted;
    } closes[] = {{"WM_CLOSE sent", WM_CLOSE, 0, false},
                  {"WM_CLOSE posted", WM_CLOSE, 0, true},
                  {"the close command sent", WM_SYSCOMMAND, SC_CLOSE, false},
                  {"the close command posted", WM_SYSCOMMAND, SC_CLOSE | 2, true}};
    for (const auto& close : closes) {
        if (close.posted)
            PostMessageA(postWindow, close.message, close.wParam, 0);
        else
            SendMessageA(postWindow, close.message, close.wParam, 0);
        PollPending();
        EXPECT_TRUE(IsWindow(postWindow)) << close.what;
        EXPECT_TRUE(PostEvent(70000, 0, -1, 0, nullptr) && PollUntil(70000)) << close.what;
    }
    // Destroyed anyway, by the program's own code: posting ends for this run, without a leak.
    size_t before = HeapBytesInUse(RuntimeHeap);
    DestroyWindow(postWindow);
    EXPECT_EQ(PostEvent(70000, 0, -1, 0, nullptr), 0);
    EXPECT_EQ(PostEvent(70000, 0, -1, 0, nullptr), 0);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);

    memory = CreateCompatibleDC(nullptr);
    BeginDrawing(PlainOutput(memory)); // a span left open

    ShutdownRuntime();
    EndRuntime();
    const struct {
        const char* what;
        int (*call)();
    } afterTheEnd[] = {
        {"DrawBox in a span left open", [] { return DrawBox(0, 0, 1, 1, 0); }},
        {"EndDrawing", [] { return EndDrawing(), 0; }},
        {"ShutdownRuntime", [] { return ShutdownRuntime(), 0; }},
        {"EndRuntime", [] { return EndRuntime(), 0; }},
        {"ImageFree of all", [] { return ImageFree(AutoNumber), 0; }},
        {"ImageFree", [] { return ImageFree(image); }},
        {"RegisterImage",
         [] {
             HBITMAP bitmap = CreateImageBitmap(2, 2, 32);
             bool registered = RegisterImage(AutoNumber, bitmap, 2, 2, 32);
             DeleteObject(bitmap);
             return static_cast<int>(registered);
         }},
        {"CloseAppWindow of all", [] { return CloseAppWindow(AutoNumber), 0; }},
        {"CloseAppWindow", [] { return CloseAppWindow(dynamicWindow), 0; }},
        {"WindowHandleOf", [] { return WindowHandleOf(dynamicWindow) != nullptr ? 1 : 0; }},
        {"OpenAppWindow", [] { return static_cast<int>(OpenAppWindow(0, 0, 0, 9, 9, "", 0)); }},
        {"FreeGadget of all", [] { return FreeGadget(AutoNumber), 0; }},
        {"SelectGadgetList",
         [] { return SelectGadgetList(GetDesktopWindow()) != nullptr ? 1 : 0; }},
        {"OpenGadget", [] { return static_cast<int>(OpenGadget(1, "BUTTON", "", 0, 0, 9, 9, 0)); }},
        {"PostEvent", [] { return PostEvent(70000, 0, -1, 0, nullptr); }},
        {"QueueEvent", [] { return QueueEvent(70000, 0, -1, 0, nullptr, nullptr), 0; }},
        {"DequeueEvent", [] { return DequeueEvent(); }},
        {"PollWindowEvent", [] { return PollWindowEvent(), 0; }},
        {"PurgeWindowEvents", [] { return PurgeWindowEvents(0), 0; }},
        {"BindEvent", [] { return BindEvent(70000, -1, -1, -1, Bound); }},
        {"RemoveWindowBindings", [] { return RemoveWindowBindings(0), 0; }},
        {"EndPostedEvents", [] { return EndPostedEvents(), 0; }},
        {"Map_Create",
         [] {
             KeyedMap* map = nullptr;
             return Map_Create(8, 7, nullptr, &map, 16) != nullptr ? 1 : 0;
         }},
        {"ElementPool_Create, shared",
         [] { return ElementPool_Create(24, 16, 256, POOL_SHARED) != nullptr ? 1 : 0; }},
        {"ElementPool_Create",
         [] { return ElementPool_Create(24, 16, 256, 0) != nullptr ? 1 : 0; }},
        {"Array_Create", [] { return Array_Create(4, 4, 0, nullptr, nullptr) != nullptr ? 1 : 0; }},
        {"PlainOutput", [] { return BeginDrawing(PlainOutput(memory)) != nullptr ? 1 : 0; }},
        {"ReadBitmapPixels32 of a copy",
         [] {
             int mustFree = 0;
             HBITMAP bitmap = CreateImageBitmap(2, 2, 24);
             void* pixels = ReadBitmapPixels32(bitmap, &mustFree);
             DeleteObject(bitmap);
             return pixels != nullptr ? 1 : 0;
         }},
    };
    for (const auto& call : afterTheEnd) {
        SetLastError(0);
        EXPECT_EQ(call.call(), 0) << call.what;
        // Wine answers a call on a null heap so; Windows faults.
        EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE))
            << call.what << " called into the ended heap";
    }
    DeleteDC(memory);

    StartRuntime();
    EXPECT_NE(OpenAppWindow(0, 0, 0, 50, 50, "", WINDOW_INVISIBLE), 0);
    EXPECT_TRUE(PostEvent(70000, 0, -1, 0, nullptr) && PollUntil(70000));
    EXPECT_NE(RegisterImage(3, CreateImageBitmap(2, 2, 32), 2, 2, 32), nullptr);
    ShutdownRuntime();
    EndRuntime();
}

class Strings : public RuntimeTest {};

TEST_F(Strings, AssignCopiesIntoABlockFiveBytesLongerThanTheText) {
    char* empty = nullptr;
    StringAssign(&empty, "");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(HeapSize(StringHeap, 0, empty), 5u);
    EXPECT_EQ(empty[0], 0);

    char* seven = nullptr;
    const char source[] = "seven!!";
    StringAssign(&seven, source);
    ASSERT_NE(seven, nullptr);
    EXPECT_NE(seven, source);
    EXPECT_EQ(HeapSize(StringHeap, 0, seven), 12u);
    EXPECT_STREQ(seven, "seven!!");
    StringFree(empty);
    StringFree(seven);
}

TEST_F(Strings, NullSourceLeavesTheSlotAndNullFreeDoesNothing) {
    char* slot = nullptr;
    StringAssign(&slot, "kept");
    char* held = slot;
    StringAssign(&slot, nullptr);
    EXPECT_EQ(slot, held);
    EXPECT_STREQ(slot, "kept");
    StringFree(nullptr);
    StringFree(slot);
}

TEST_F(Strings, SourceEndingAtAPageBoundaryIsNotReadBeyondItsTerminator) {
    // A source whose terminator is the last byte of a committed page: reading past it faults.
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    char* pages = static_cast<char*>(
        VirtualAlloc(nullptr, info.dwPageSize * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(pages, nullptr);
    DWORD old;
    VirtualProtect(pages + info.dwPageSize, info.dwPageSize, PAGE_NOACCESS, &old);
    char* text = pages + info.dwPageSize - 4;
    memcpy(text, "abc", 4);
    char* slot = nullptr;
    StringAssign(&slot, text);
    EXPECT_STREQ(slot, "abc");
    StringFree(slot);
    VirtualFree(pages, 0, MEM_RELEASE);
}

class ThreadBlocks : public RuntimeTest {};

int seenNonZero = -1;
void CheckZeroed(void* block) {
    seenNonZero = 0;
    for (int i = 0; i < 80; ++i)
        seenNonZero |= static_cast<unsigned char*>(block)[i];
}

TEST_F(ThreadBlocks, BlockIsZeroWhenInitRunsAndGetReturnsIt) {
    // Dirty the heap first so zero-fill is really tested.
    void* dirty = HeapAlloc(RuntimeHeap, 0, 80);
    memset(dirty, 0xAB, 80);
    HeapFree(RuntimeHeap, 0, dirty);

    void* block = ThreadBlock_Create(80, CheckZeroed, nullptr);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(seenNonZero, 0);
    EXPECT_EQ(HeapSize(RuntimeHeap, 0, block), 80u);
    EXPECT_EQ(ThreadBlock_Get(block), block);
}
