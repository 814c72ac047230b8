#include "event_probe.h"
#include "runtime/image/image_objects.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/gadget_base.h"
#include "runtime/window/posted_events.h"
#include "runtime_fixture.h"

#include <stdio.h>

#include <string>
#include <vector>

namespace {

class PostedEvents : public RuntimeTest {
  protected:
    static bool Queued() { return EventQueueBlock->head != nullptr; }
    // Drains what is pending and reports whether any event came out of it.
    static bool DrainFindsAnEvent() {
        bool found = false;
        MSG msg;
        while (Queued() || PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            found = found || Queued();
            PollWindowEvent();
        }
        return found;
    }
};

std::vector<void*> released;
void Release(void* data) {
    released.push_back(data);
}
int boundCalls;
void CountCall() {
    ++boundCalls;
}

// A poster that stalls in the window manager, as a preempted or dying thread may: PostEvent on
// a thread of its own, whose record is made and waiting while its message is not posted yet.
struct StalledPoster {
    static inline HANDLE entered, proceed;
    static inline LPARAM record;
    static inline WPARAM tag;
    HANDLE thread;
    int result = -1;

    static BOOL WINAPI Stall(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        record = lParam;
        tag = wParam;
        SetEvent(entered);
        WaitForSingleObject(proceed, INFINITE);
        return PostMessageA(window, message, wParam, lParam);
    }
    static DWORD WINAPI Post(void* parameter) {
        static_cast<StalledPoster*>(parameter)->result = PostEvent(70900, 0, -1, 0, nullptr);
        return 0;
    }
    StalledPoster() {
        entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        proceed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        PostEventPostMessage = Stall;
        thread = CreateThread(nullptr, 0, Post, this, 0, nullptr);
        WaitForSingleObject(entered, INFINITE);
        PostEventPostMessage = PostMessageA; // for every other post
    }
    int Finish() {
        SetEvent(proceed);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(entered);
        CloseHandle(proceed);
        return result;
    }
};

// Blocks of the runtime heap near which garbage is posted: one live but inside which only
// interior addresses are posted, one live but too small for a record, one freed.
struct Bystanders {
    char* live = static_cast<char*>(HeapAlloc(RuntimeHeap, 0, 64));
    char* small = static_cast<char*>(HeapAlloc(RuntimeHeap, 0, 8));
    void* freed = HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord));

    Bystanders() {
        memset(live, 0x41, 64);
        memset(small, 0x42, 8);
        HeapFree(RuntimeHeap, 0, freed);
    }
    ~Bystanders() {
        HeapFree(RuntimeHeap, 0, live);
        HeapFree(RuntimeHeap, 0, small);
    }
    void ExpectUntouched() const {
        EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, live));
        EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, small));
        EXPECT_EQ(std::string(live, 64), std::string(64, 0x41));
        EXPECT_EQ(std::string(small, 8), std::string(8, 0x42));
    }
};

TEST_F(PostedEvents, APostedEventArrivesOnALaterPollAndItsRecordIsFreed) {
    size_t before = HeapBytesInUse(RuntimeHeap);
    ASSERT_EQ(PostEvent(70000, 1, 0, 2, reinterpret_cast<void*>(5)), 1);
    EXPECT_GT(HeapBytesInUse(RuntimeHeap), before);
    EXPECT_EQ(PollWindowEvent(), static_cast<int>(PostEventMessage));
    EXPECT_EQ(PollWindowEvent(), 70000);
    const EventQueue* queue = EventQueueBlock;
    EXPECT_EQ(queue->object, 1);
    EXPECT_EQ(queue->window, 0);
    EXPECT_EQ(queue->type, 2);
    EXPECT_EQ(queue->data, reinterpret_cast<void*>(5));
    EXPECT_EQ(queue->release, nullptr);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);

    // Any other message goes to the default procedure only.
    auto* record =
        static_cast<PostedEventRecord*>(HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord)));
    *record = {0, 70002, 0, 0, 0, nullptr};
    SendMessageA(PostEventWindow, WM_USER, 0, reinterpret_cast<LPARAM>(record));
    EXPECT_FALSE(Queued());
    EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, record));
    HeapFree(RuntimeHeap, 0, record);
}

// Nobody polls after the end: what waits is freed, without callbacks, and the end waits for no
// poster, even one that stalls with its record made while the runtime heap goes.
TEST_F(PostedEvents, TheEndFreesWhatWaitsRunsNoCallbackAndWaitsForNoPoster) {
    ASSERT_TRUE(BindEvent(70000, -1, -1, -1, CountCall));
    boundCalls = 0;
    released.clear();
    size_t before = HeapBytesInUse(RuntimeHeap);
    ASSERT_TRUE(PostEvent(70000, 0, -1, 0, nullptr));
    ASSERT_TRUE(PostEvent(70000, 0, -1, 1, nullptr));
    int data = 0;
    QueueEvent(70001, 0, -1, 0, &data, Release);
    StalledPoster stalled;

    EndPostedEvents();
    EXPECT_EQ(PostEventWindow, nullptr);
    EXPECT_EQ(boundCalls, 0);
    EXPECT_EQ(released, std::vector<void*>{&data});
    EXPECT_EQ(DequeueEvent(), 0);
    EXPECT_EQ(PostEvent(70002, 0, -1, 0, nullptr), 0);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    EndPostedEvents();

    ShutdownRuntime();
    EndRuntime();
    EXPECT_EQ(stalled.Finish(), 0); // its window and its heap are gone by now
    StartRuntime();
}

// Objects of the libraries that keep records in the runtime heap, at which hostile posts aim:
// window 0 (by which a stranger finds the heap), a dynamic window, a dynamic image, a binding.
struct RuntimeObjects {
    HWND zero = reinterpret_cast<HWND>(OpenAppWindow(0, 0, 0, 60, 40, "0", WINDOW_INVISIBLE));
    int dynamic = static_cast<int>(OpenAppWindow(AutoNumber, 0, 0, 60, 40, "d", WINDOW_INVISIBLE));
    HWND dynamicHandle = WindowHandleOf(dynamic);
    int image = 0;

    RuntimeObjects() {
        ImageObject* made = RegisterImage(AutoNumber, CreateImageBitmap(4, 4, 32), 4, 4, 32);
        image = made ? Registry_NumberOf(made) : 0;
        BindEvent(70700, -1, -1, -1, CountCall);
    }
    // Still there, then closed and made again.
    void ExpectIntactThenCloseAndReopen() const {
        EXPECT_EQ(WindowHandleOf(0), zero);
        EXPECT_EQ(WindowHandleOf(dynamic), dynamicHandle);
        EXPECT_TRUE(IsWindow(zero) && IsWindow(dynamicHandle));
        ASSERT_NE(Registry_Get(ImageRegistry, image), nullptr);
        boundCalls = 0;
        QueueEvent(70700, 0, 0, 0, nullptr, nullptr);
        EXPECT_EQ(boundCalls, 1);
        while (DequeueEvent()) {
        }
        CloseAppWindow(dynamic);
        CloseAppWindow(0);
        EXPECT_EQ(ImageFree(image), 1);
        EXPECT_FALSE(IsWindow(zero) || IsWindow(dynamicHandle));
        EXPECT_NE(OpenAppWindow(0, 0, 0, 60, 40, "0", WINDOW_INVISIBLE), 0);
        EXPECT_NE(OpenAppWindow(AutoNumber, 0, 0, 60, 40, "d", WINDOW_INVISIBLE), 0);
        EXPECT_NE(RegisterImage(AutoNumber, CreateImageBitmap(4, 4, 32), 4, 4, 32), nullptr);
    }
};

// The message of a post that has been made and is waiting in the queue, untaken.
MSG WaitingPost() {
    MSG msg = {};
    PeekMessageA(&msg, PostEventWindow, PostEventMessage, PostEventMessage, PM_NOREMOVE);
    return msg;
}

// Addresses that are no record PostEvent made, or whose record has been received, or that come
// without the record's tag: each must be ignored without a fault, nothing queued and nothing
// freed.
TEST_F(PostedEvents, AForeignMessageWhoseLParamIsNoWaitingRecordIsIgnored) {
    Bystanders bystanders;
    void* otherHeapBlock = HeapAlloc(GetProcessHeap(), 0, 64);
    HANDLE privateHeap = HeapCreate(0, 4096, 0);
    void* privateBlock = HeapAlloc(privateHeap, 0, 64);
    const SIZE_T page = 4096;
    auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 5 * page, MEM_RESERVE, PAGE_NOACCESS));
    VirtualAlloc(pages, page, MEM_COMMIT, PAGE_READWRITE);
    VirtualAlloc(pages + page, page, MEM_COMMIT, PAGE_READONLY);
    VirtualAlloc(pages + 2 * page, page, MEM_COMMIT, PAGE_READWRITE | PAGE_GUARD);
    VirtualAlloc(pages + 3 * page, page, MEM_COMMIT, PAGE_NOACCESS);
    alignas(16) char onStack[64] = {};
    static char global[64];
    auto* byHand =
        static_cast<PostedEventRecord*>(HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord)));
    *byHand = {0, 70001, 3, 4, 5, nullptr};
    ASSERT_TRUE(PostEvent(70800, 0, -1, 0, nullptr));
    MSG received = WaitingPost();
    ASSERT_EQ(PollWindowEvent(), static_cast<int>(PostEventMessage));
    ASSERT_EQ(DequeueEvent(), 70800);
    StalledPoster stalled; // its record waits for its message
    size_t before = HeapBytesInUse(RuntimeHeap);

    struct Case {
        const char* what;
        const void* address;
        WPARAM wParam;
    };
    const Case cases[] = {
        {"null", nullptr, 0},
        {"one", reinterpret_cast<void*>(1), 0},
        {"unaligned, inside a live block", bystanders.live + 4, 0},
        {"inside a live block", bystanders.live + 8, 0},
        {"further inside a live block", bystanders.live + 16, 0},
        {"a live block", bystanders.live, 0},
        {"a live block too small for a record", bystanders.small, 0},
        {"a freed block", bystanders.freed, 0},
        {"a record made by hand", byHand, 0},
        {"a received record, with its tag", reinterpret_cast<void*>(received.lParam),
         received.wParam},
        {"a waiting record, without its tag", reinterpret_cast<void*>(StalledPoster::record), 0},
        {"a waiting record, with another tag", reinterpret_cast<void*>(StalledPoster::record),
         StalledPoster::tag + 1},
        {"a block of another heap", otherHeapBlock, 0},
        {"a block of a private heap", privateBlock, 0},
        {"the runtime heap itself", RuntimeHeap, 0},
        {"the runtime heap's header", static_cast<char*>(RuntimeHeap) + 64, 0},
        {"read-write memory that is no heap", pages + 16, 0},
        {"the start of such memory", pages, 0},
        {"read-only memory", pages + page + 16, 0},
        {"a guard page", pages + 2 * page + 16, 0},
        {"a page without access", pages + 3 * page + 16, 0},
        {"reserved memory", pages + 4 * page + 16, 0},
        {"the stack", onStack + 16, 0},
        {"a global", global + 16, 0},
        {"code", reinterpret_cast<void*>(&PostEvent), 0},
        {"the top of user memory", reinterpret_cast<void*>(~static_cast<uintptr_t>(15)), 0},
    };
    for (const auto& c : cases) {
        SendMessageA(PostEventWindow, PostEventMessage, c.wParam,
                     reinterpret_cast<LPARAM>(c.address));
        EXPECT_FALSE(Queued()) << c.what;
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    bystanders.ExpectUntouched();
    EXPECT_EQ(byHand->code, 70001);
    EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, byHand));
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, otherHeapBlock));
    EXPECT_TRUE(HeapValidate(privateHeap, 0, privateBlock));
    // The waiting record's own message still brings its event, once.
    EXPECT_EQ(stalled.Finish(), 1);
    EXPECT_EQ(TakeEvents(70900).size(), 1u);

    HeapFree(RuntimeHeap, 0, byHand);
    HeapFree(GetProcessHeap(), 0, otherHeapBlock);
    HeapDestroy(privateHeap);
    VirtualFree(pages, 0, MEM_RELEASE);
}

std::string OwnDirectory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path);
    return own.substr(0, own.find_last_of("\\/") + 1);
}

// While another process posts, this one polls as a program does and posts events of its own,
// which must all arrive, once each and in order; nothing else may be queued or freed.
TEST_F(PostedEvents, AnotherProcessPostingGarbageAndClosingQueuesNothingFreesNothingLosesNothing) {
    Bystanders bystanders;
    RuntimeObjects objects;
    // Memory of this process that passes every test but the heap's own.
    const size_t rangeBytes = 1 << 20;
    auto* range = static_cast<char*>(VirtualAlloc(nullptr, rangeBytes, MEM_COMMIT, PAGE_READWRITE));
    memset(range, 0x43, rangeBytes);
    // A record received and its block taken by another, and a record still waiting.
    ASSERT_TRUE(PostEvent(70800, 0, -1, 0, nullptr));
    auto received = static_cast<uintptr_t>(WaitingPost().lParam);
    TakeEvents();
    void* reused = HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord));
    memset(reused, 0x44, sizeof(PostedEventRecord));
    StalledPoster stalled;
    size_t before = HeapBytesInUse(RuntimeHeap);

    char addresses[256];
    snprintf(addresses, sizeof addresses, "%p %p %p %p %p %p", static_cast<void*>(bystanders.live),
             static_cast<void*>(bystanders.small), bystanders.freed,
             reinterpret_cast<void*>(received), reused,
             reinterpret_cast<void*>(StalledPoster::record));
    // Random lParams where no heap is, then every 8-aligned one over the runtime heap.
    char randomRange[64], runs[2][512];
    snprintf(randomRange, sizeof randomRange, "20000 %p %zx", static_cast<void*>(range),
             rangeBytes);
    for (int run = 0; run < 2; ++run)
        snprintf(runs[run], sizeof runs[run], "\"%sforeign_poster.exe\" %lu %s %s",
                 OwnDirectory().c_str(), GetCurrentProcessId(),
                 run == 0 ? randomRange : "sweep heap 0", addresses);
    int sequence = 0;
    for (char* command : runs) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION poster = {};
        ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &poster))
            << command;
        while (WaitForSingleObject(poster.hProcess, 0) == WAIT_TIMEOUT) {
            if (sequence < 500) {
                ASSERT_TRUE(PostEvent(70600, 0, -1, sequence++, nullptr));
            }
            Poll(10);
        }
        PollPending();
        DWORD posted = 0;
        GetExitCodeProcess(poster.hProcess, &posted);
        CloseHandle(poster.hProcess);
        CloseHandle(poster.hThread);
        EXPECT_GT(static_cast<int>(posted), 1000) << command;
    }

    std::vector<PolledEvent> events = TakeEvents();
    ASSERT_EQ(events.size(), static_cast<size_t>(sequence)) << "only the program's own posts";
    for (int i = 0; i < sequence; ++i)
        EXPECT_EQ(events[i], (PolledEvent{70600, 0, -1, i}));
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    bystanders.ExpectUntouched();
    EXPECT_EQ(std::string(static_cast<char*>(reused), sizeof(PostedEventRecord)),
              std::string(sizeof(PostedEventRecord), 0x44));
    EXPECT_EQ(std::string(range, rangeBytes), std::string(rangeBytes, 0x43));
    // The posted-event window was not closed: the waiting record's message and a new post
    // arrive.
    EXPECT_TRUE(IsWindow(PostEventWindow));
    EXPECT_EQ(stalled.Finish(), 1);
    ASSERT_TRUE(PostEvent(70000, 0, 0, 0, nullptr));
    EXPECT_EQ(TakeEvents(), (std::vector<PolledEvent>{{70900, 0, -1, 0}, {70000, 0, 0, 0}}));
    objects.ExpectIntactThenCloseAndReopen();
    HeapFree(RuntimeHeap, 0, reused);
    VirtualFree(range, 0, MEM_RELEASE);
}

} // namespace
