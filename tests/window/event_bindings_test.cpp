#include "event_probe.h"
#include "runtime/window/event_bindings.h"
#include "runtime/window/window.h"
#include "runtime_fixture.h"

#include <limits.h>
#include <stdio.h>

#include <vector>

namespace {

class EventBindingsTest : public RuntimeTest {};

std::vector<int> ran;
template <int N> void Mark() {
    ran.push_back(N);
}

// A binding made the way any code may make one: the element under a key formatted with
// sprintf, holding a callback node of its own.
constexpr int ForeignBindingWindow = 999;
void BindByHand(const char* format, int code, int window, int object, int type,
                CallbackNode* node) {
    char key[BINDING_KEY_SIZE];
    snprintf(key, sizeof key, format, code, window, object, type);
    auto* binding = static_cast<EventBinding*>(Map_Add(EventBindings, key, 0));
    binding->callbacks = node;
    binding->window = ForeignBindingWindow;
}

TEST_F(EventBindingsTest, FiveKeysRunInOrderAndAreFormattedAsSprintfDoes) {
    const struct {
        int code, window, object, type;
    } events[] = {{13116, 0, 0, 0}, {70000, 3, 4, 5}, {INT_MIN, INT_MAX, -7, 1234567890}};
    static CallbackNode nodes[5] = {{nullptr, Mark<1>},
                                    {nullptr, Mark<2>},
                                    {nullptr, Mark<3>},
                                    {nullptr, Mark<4>},
                                    {nullptr, Mark<5>}};
    for (const auto& e : events) {
        BindByHand("%d:%d:%d:%d", e.code, e.window, e.object, e.type, &nodes[0]);
        BindByHand("%d:%d:%d:-1", e.code, e.window, e.object, 0, &nodes[1]);
        BindByHand("%d:%d:-1:-1", e.code, e.window, 0, 0, &nodes[2]);
        BindByHand("%d:-1:-1:-1", e.code, 0, 0, 0, &nodes[3]);
        BindByHand("%d:-1:%d:%d", e.code, e.object, e.type, 0, &nodes[4]);
        ran.clear();
        QueueEvent(e.code, e.object, e.window, e.type, nullptr, nullptr);
        EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4, 5})) << e.code;
        RemoveWindowBindings(ForeignBindingWindow);
        DequeueEvent();
    }

    // BindEvent files its binding under the same text.
    ASSERT_TRUE(BindEvent(INT_MIN, INT_MAX, -7, 1234567890, Mark<1>));
    EXPECT_NE(Map_Find(EventBindings, "-2147483648:2147483647:-7:1234567890"), nullptr);
    // An event whose fields are all "any" matches one key five times.
    ASSERT_TRUE(BindEvent(70001, -1, -1, -1, Mark<4>));
    ran.clear();
    QueueEvent(70001, -1, -1, -1, nullptr, nullptr);
    EXPECT_EQ(ran, (std::vector<int>{4, 4, 4, 4, 4}));
}

int closes[2];
void CloseOfWindowZero() {
    ++closes[0];
}
void CloseOfAnyWindow() {
    ++closes[1];
}

TEST_F(EventBindingsTest, CloseBindingsRunForTheirWindowOrForAnyWindow) {
    HWND zero = reinterpret_cast<HWND>(OpenAppWindow(0, 0, 0, 100, 50, "0", WINDOW_INVISIBLE));
    HWND one = reinterpret_cast<HWND>(OpenAppWindow(1, 0, 0, 100, 50, "1", WINDOW_INVISIBLE));
    ASSERT_TRUE(BindEvent(CloseWindowEvent, 0, -1, -1, CloseOfWindowZero));
    ASSERT_TRUE(BindEvent(CloseWindowEvent, -1, -1, -1, CloseOfAnyWindow));
    closes[0] = closes[1] = 0;
    PostMessageA(zero, WM_CLOSE, 0, 0);
    PostMessageA(one, WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeEvents(CloseWindowEvent).size(), 2u);
    EXPECT_EQ(closes[0], 1);
    EXPECT_EQ(closes[1], 2);
}

int counts[2];
void CountThree() {
    ++counts[0];
}
void CountFour() {
    ++counts[1];
}

TEST_F(EventBindingsTest, AWindowsBindingsGoWithItAndTheirNodesAreFreed) {
    OpenAppWindow(3, 0, 0, 100, 50, "3", WINDOW_INVISIBLE);
    OpenAppWindow(4, 0, 0, 100, 50, "4", WINDOW_INVISIBLE);
    ASSERT_TRUE(BindEvent(70000, 4, -1, -1, CountFour));
    size_t before = HeapBytesInUse(RuntimeHeap);
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(BindEvent(70000 + i % 7, 3, i, -1, CountThree));
    static CallbackNode foreign = {nullptr, CountThree};
    char key[BINDING_KEY_SIZE];
    FormatBindingKey(key, 70000, 3, -1, -1);
    auto* binding = static_cast<EventBinding*>(Map_Add(EventBindings, key, 0));
    *binding = {&foreign, 3};
    RemoveWindowBindings(3);
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
    EXPECT_EQ(Map_Find(EventBindings, key), nullptr);
    EXPECT_EQ(foreign.callback, CountThree); // not the runtime's node: left alone

    ASSERT_TRUE(BindEvent(70000, 3, -1, -1, CountThree));
    CloseAppWindow(3);
    counts[0] = counts[1] = 0;
    QueueEvent(70000, 0, 3, 0, nullptr, nullptr);
    QueueEvent(70000, 0, 4, 0, nullptr, nullptr);
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(counts[1], 1);

    // Its nodes are runtime heap blocks: code that deletes a binding by hand frees them there.
    ASSERT_TRUE(BindEvent(70000, 6, -1, -1, CountThree));
    FormatBindingKey(key, 70000, 6, -1, -1);
    CallbackNode* node = static_cast<EventBinding*>(Map_Find(EventBindings, key))->callbacks;
    Map_DeleteCurrent(EventBindings);
    EXPECT_TRUE(HeapFree(RuntimeHeap, 0, node));
    EXPECT_TRUE(HeapValidate(RuntimeHeap, 0, nullptr));
}

void RemoveOwnBindings() {
    ran.push_back(1);
    RemoveWindowBindings(5);
}

TEST_F(EventBindingsTest, ACallbackMayDeleteTheBindingsBeingRun) {
    size_t before = HeapBytesInUse(RuntimeHeap);
    ASSERT_TRUE(BindEvent(70000, 5, -1, -1, RemoveOwnBindings));
    ASSERT_TRUE(BindEvent(70000, 5, -1, -1, Mark<2>));
    ran.clear();
    QueueEvent(70000, 0, 5, 0, nullptr, nullptr);
    EXPECT_EQ(ran, (std::vector<int>{1, 2})); // the walk that was under way ends
    QueueEvent(70000, 0, 5, 1, nullptr, nullptr);
    EXPECT_EQ(ran.size(), 2u);
    while (DequeueEvent()) {
    }
    EXPECT_EQ(HeapBytesInUse(RuntimeHeap), before);
}

} // namespace
