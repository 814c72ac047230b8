// The runtime's event queue against the platform's own: QueueEvent + DequeueEvent round trips,
// each with the five binding look-ups every queued event makes, against PostMessageA +
// PeekMessageA round trips on the same thread. Without bindings, and with 1,000 bindings under
// keys that the events do not have. And the posted events' round trip: PostEvent, the poll that
// receives its message, the poll that hands the event out; and PostEvent alone.
#include "app/program.h"
#include "bench_clock.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/event_polling.h"
#include "runtime/window/event_queue.h"
#include "runtime/window/posted_events.h"
#include "runtime/window/window.h"

#include <windows.h>

#include <stdio.h>

#include <algorithm>

namespace {

constexpr int QueueTrips = 2000000;
constexpr int PlatformTrips = 200000;
constexpr int PostTrips = 200000;
constexpr int PostBatch = 2000; // posted, then received untimed
constexpr int Rounds = 3;
constexpr int Bindings = 1000;

volatile int Sink;

// Events per second, the best of the rounds.
template <typename Trip> double EventsPerSecond(int trips, Trip trip) {
    double best = 0;
    for (int round = 0; round < Rounds; ++round) {
        double start = Now();
        for (int i = 0; i < trips; ++i)
            trip(i);
        best = std::max(best, trips / (Now() - start));
    }
    return best;
}

double QueueRoundTrips() {
    return EventsPerSecond(QueueTrips, [](int i) {
        // Codes, objects and windows as a window's messages give them.
        QueueEvent(RepaintEvent + (i & 7), i & 63, i & 3, 0, nullptr, nullptr);
        Sink = DequeueEvent();
    });
}

double PostsPerSecond() {
    double best = 0;
    for (int round = 0; round < Rounds; ++round) {
        double spent = 0;
        for (int batch = 0; batch < PostTrips / PostBatch; ++batch) {
            double start = Now();
            for (int i = 0; i < PostBatch; ++i)
                PostEvent(70000, i, -1, 0, nullptr);
            spent += Now() - start;
            while (PollWindowEvent()) {
            }
        }
        best = std::max(best, PostTrips / spent);
    }
    return best;
}

void Bound() {
    Sink = 1;
}

} // namespace

int main() {
    StartRuntime();
    HWND window = reinterpret_cast<HWND>(
        OpenAppWindow(0, 0, 0, 100, 100, "bench", WINDOW_INVISIBLE | WINDOW_NO_GADGET_LIST));
    double platform = EventsPerSecond(PlatformTrips, [window](int i) {
        PostMessageA(window, WM_USER, i, 0);
        MSG msg;
        PeekMessageA(&msg, window, WM_USER, WM_USER, PM_REMOVE);
        Sink = static_cast<int>(msg.wParam);
    });
    double posted = EventsPerSecond(PostTrips, [](int i) {
        PostEvent(70000, i, -1, 0, nullptr);
        PollWindowEvent();
        Sink = PollWindowEvent();
    });
    double posts = PostsPerSecond();
    double bare = QueueRoundTrips();
    // Bindings of other codes, for the windows the events come from and for any window.
    for (int i = 0; i < Bindings; ++i)
        BindEvent(20000 + i, i % 5 - 1, i % 3 ? -1 : i, -1, Bound);
    double bound = QueueRoundTrips();
    ShutdownRuntime();
    EndRuntime();

    printf("Event round trips on one thread, best of %d rounds\n", Rounds);
    printf("  %-52s %12s %10s %8s\n", "", "events/s", "ns each", "ratio");
    printf("  %-52s %12.0f %10.1f %8s\n", "PostMessageA + PeekMessageA (the platform's queue)",
           platform, 1e9 / platform, "1.00x");
    printf("  %-52s %12.0f %10.1f %7.2fx\n", "PostEvent + the two polls that receive it", posted,
           1e9 / posted, posted / platform);
    printf("  %-52s %12.0f %10.1f %7.2fx\n", "PostEvent alone", posts, 1e9 / posts,
           posts / platform);
    printf("  %-52s %12.0f %10.1f %7.2fx\n", "QueueEvent + DequeueEvent, no bindings", bare,
           1e9 / bare, bare / platform);
    printf("  %-52s %12.0f %10.1f %7.2fx\n", "QueueEvent + DequeueEvent, 1,000 other bindings",
           bound, 1e9 / bound, bound / platform);
    printf("  goals: >= 2,000,000 events/s without bindings (%s), >= 1,000,000 with them (%s),\n"
           "         >= 3x the platform (%s)\n",
           bare >= 2e6 ? "met" : "MISSED", bound >= 1e6 ? "met" : "MISSED",
           std::min(bare, bound) >= 3 * platform ? "met" : "MISSED");
    return 0;
}
