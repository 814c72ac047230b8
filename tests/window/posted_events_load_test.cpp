// Many threads posting at once while the program polls: nothing is lost, duplicated, reordered
// or leaked.
#include "event_probe.h"
#include "runtime/window/posted_events.h"
#include "runtime_fixture.h"

#include <stdlib.h>

#include <vector>

namespace {

class PostedEventLoad : public RuntimeTest {};

// A million posts take well over a quarter of an hour under software emulation, where the
// test machine asks for a smaller load with QV_LOAD_DIVISOR.
int LoadDivisor() {
    const char* divisor = getenv("QV_LOAD_DIVISOR");
    return divisor && atoi(divisor) > 0 ? atoi(divisor) : 1;
}

constexpr int LoadThreads = 4;
const int PostsPerThread = 250000 / LoadDivisor();
constexpr int LoadCode = 70000;

struct Poster {
    int index;
    std::vector<int> accepted; // sequence numbers of the posts reported as made
    int refused = 0;
};

DWORD WINAPI PostAll(void* parameter) {
    auto* poster = static_cast<Poster*>(parameter);
    for (int sequence = 0; sequence < PostsPerThread; ++sequence) {
        if (PostEvent(LoadCode, poster->index, -1, sequence, nullptr))
            poster->accepted.push_back(sequence);
        else
            ++poster->refused;
    }
    return 0;
}

TEST_F(PostedEventLoad, FourThreadsPostingWhileTheProgramPollsLoseNothing) {
    size_t before = HeapBytesInUse(RuntimeHeap);
    Poster posters[LoadThreads];
    HANDLE threads[LoadThreads];
    for (int i = 0; i < LoadThreads; ++i) {
        posters[i].index = i;
        posters[i].accepted.reserve(PostsPerThread);
        threads[i] = CreateThread(nullptr, 0, PostAll, &posters[i], 0, nullptr);
        ASSERT_NE(threads[i], nullptr);
    }
    std::vector<int> received[LoadThreads];
    int strays = 0;
    // Every call to the window manager is a trip through the one server that the posters use
    // too, so the loop makes no more of them than the program's own would.
    auto poll = [&](int timeout) {
        bool queued = EventQueueBlock->head != nullptr;
        int code = NextWindowEvent(timeout);
        if (!queued)
            return code;
        int thread = EventQueueBlock->object;
        if (code == LoadCode && thread >= 0 && thread < LoadThreads)
            received[thread].push_back(EventQueueBlock->type);
        else
            ++strays;
        return code;
    };
    // The posters are asked now and then, or when nothing came, whether they are done.
    for (int i = 0, code = 1;; ++i) {
        if ((code == 0 || i % 1024 == 0) &&
            WaitForMultipleObjects(LoadThreads, threads, TRUE, 0) == WAIT_OBJECT_0)
            break;
        code = poll(10);
    }
    MSG msg;
    for (;;) {
        bool queued = EventQueueBlock->head != nullptr;
        if (!poll(0) && !queued && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            break;
    }
    for (HANDLE thread : threads)
        CloseHandle(thread);

    EXPECT_EQ(strays, 0);
    int refused = 0;
    for (int i = 0; i < LoadThreads; ++i) {
        EXPECT_EQ(static_cast<int>(posters[i].accepted.size()) + posters[i].refused,
                  PostsPerThread);
        // Every post reported as made arrives exactly once, in the order it was made.
        EXPECT_TRUE(received[i] == posters[i].accepted)
            << "thread " << i << " accepted " << posters[i].accepted.size() << " received "
            << received[i].size() << " refused " << posters[i].refused;
        refused += posters[i].refused;
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before) << refused << " posts were refused";
}

} // namespace
