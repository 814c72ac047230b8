#include "event_probe.h"
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

    // A record made by hand in the same format is taken the same way.
    auto* record =
        static_cast<PostedEventRecord*>(HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord)));
    *record = {12345, 70001, 3, 4, 5, nullptr};
    SendMessageA(PostEventWindow, PostEventMessage, 0, reinterpret_cast<LPARAM>(record));
    EXPECT_EQ(DequeueEvent(), 70001);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);

    // Any other message goes to the default procedure only.
    record = static_cast<PostedEventRecord*>(HeapAlloc(RuntimeHeap, 0, sizeof(PostedEventRecord)));
    *record = {0, 70002, 0, 0, 0, nullptr};
    SendMessageA(PostEventWindow, WM_USER, 0, reinterpret_cast<LPARAM>(record));
    EXPECT_FALSE(Queued());
    EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, record));
    HeapFree(RuntimeHeap, 0, record);
}

TEST_F(PostedEvents, ShutdownReceivesWhatWasPostedAndLaterPostsFailWithoutLeaking) {
    size_t before = HeapBytesInUse(RuntimeHeap);
    ASSERT_TRUE(PostEvent(70000, 0, -1, 0, nullptr));
    ASSERT_TRUE(PostEvent(70001, 0, -1, 0, nullptr));
    EndPostedEvents();
    EXPECT_EQ(PostEventWindow, nullptr);
    EXPECT_EQ(DequeueEvent(), 70000);
    EXPECT_EQ(DequeueEvent(), 70001);
    EXPECT_EQ(PostEvent(70002, 0, -1, 0, nullptr), 0);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
}

// Addresses that are no record: each must be ignored without a fault, nothing queued and
// nothing freed.
TEST_F(PostedEvents, AForeignMessageWhoseLParamIsNoRecordIsIgnored) {
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
    size_t before = HeapBytesInUse(RuntimeHeap);

    const struct {
        const char* what;
        const void* address;
    } cases[] = {
        {"null", nullptr},
        {"one", reinterpret_cast<void*>(1)},
        {"unaligned, inside a live block", bystanders.live + 4},
        {"inside a live block", bystanders.live + 8},
        {"further inside a live block", bystanders.live + 16},
        {"a live block too small for a record", bystanders.small},
        {"a freed block", bystanders.freed},
        {"a block of another heap", otherHeapBlock},
        {"a block of a private heap", privateBlock},
        {"the runtime heap itself", RuntimeHeap},
        {"the runtime heap's header", static_cast<char*>(RuntimeHeap) + 64},
        {"read-write memory that is no heap", pages + 16},
        {"the start of such memory", pages},
        {"read-only memory", pages + page + 16},
        {"a guard page", pages + 2 * page + 16},
        {"a page without access", pages + 3 * page + 16},
        {"reserved memory", pages + 4 * page + 16},
        {"the stack", onStack + 16},
        {"a global", global + 16},
        {"code", reinterpret_cast<void*>(&PostEvent)},
        {"the top of user memory", reinterpret_cast<void*>(~static_cast<uintptr_t>(15))},
    };
    for (const auto& c : cases) {
        SendMessageA(PostEventWindow, PostEventMessage, 0, reinterpret_cast<LPARAM>(c.address));
        EXPECT_FALSE(Queued()) << c.what;
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    bystanders.ExpectUntouched();
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, otherHeapBlock));
    EXPECT_TRUE(HeapValidate(privateHeap, 0, privateBlock));

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

TEST_F(PostedEvents, AnotherProcessPostingGarbageQueuesNothingAndFreesNothing) {
    Bystanders bystanders;
    // Memory of this process that passes every test but the heap's own.
    const size_t rangeBytes = 1 << 20;
    auto* range = static_cast<char*>(VirtualAlloc(nullptr, rangeBytes, MEM_COMMIT, PAGE_READWRITE));
    memset(range, 0x43, rangeBytes);
    size_t before = HeapBytesInUse(RuntimeHeap);

    char command[512];
    snprintf(command, sizeof command, "\"%sforeign_poster.exe\" %lu 20000 %p %zx %p %p %p %p %p",
             OwnDirectory().c_str(), GetCurrentProcessId(), static_cast<void*>(range), rangeBytes,
             static_cast<void*>(bystanders.live + 8), static_cast<void*>(bystanders.live + 16),
             static_cast<void*>(bystanders.live + 24), static_cast<void*>(bystanders.small),
             bystanders.freed);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION poster = {};
    ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &poster))
        << command;
    // The program runs on, polling as usual, while the messages come in.
    bool queuedAny = false;
    while (WaitForSingleObject(poster.hProcess, 0) == WAIT_TIMEOUT) {
        NextWindowEvent(10);
        queuedAny = queuedAny || Queued();
    }
    queuedAny = DrainFindsAnEvent() || queuedAny;
    DWORD posted = 0;
    GetExitCodeProcess(poster.hProcess, &posted);
    CloseHandle(poster.hProcess);
    CloseHandle(poster.hThread);

    EXPECT_GT(static_cast<int>(posted), 20000);
    EXPECT_FALSE(queuedAny);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    bystanders.ExpectUntouched();
    EXPECT_EQ(std::string(range, rangeBytes), std::string(rangeBytes, 0x43));
    // And posting still works.
    ASSERT_TRUE(PostEvent(70000, 0, 0, 0, nullptr));
    EXPECT_TRUE(PollUntil(70000));
    VirtualFree(range, 0, MEM_RELEASE);
}

} // namespace
