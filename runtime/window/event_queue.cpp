#include "runtime/window/event_queue.h"

#include "runtime/core/heap.h"
#include "runtime/window/event_bindings.h"

EventQueue* EventQueueBlock;

namespace {

void InitEventQueue(void* block) {
    auto* queue = static_cast<EventQueue*>(block);
    queue->pool = ElementPool_Create(sizeof(QueuedEvent), 16, 256, 2);
    // One node taken for good keeps the first chunk, so a queue that empties frees nothing.
    if (queue->pool)
        ElementPool_Alloc(queue->pool);
}

void FreeEventQueue(void* block) {
    ElementPool_Destroy(static_cast<EventQueue*>(block)->pool);
}

EventQueue* Queue() {
    return static_cast<EventQueue*>(ThreadBlock_Get(EventQueueBlock));
}

bool SameEvent(const QueuedEvent* event, int code, int object, int window, int type) {
    return event->code == code && event->object == object && event->window == window &&
           event->type == type;
}

} // namespace

EventQueue* CreateEventQueue() {
    EventQueueBlock = static_cast<EventQueue*>(
        ThreadBlock_Create(sizeof(EventQueue), InitEventQueue, FreeEventQueue));
    return EventQueueBlock;
}

void QueueEvent(int code, int object, int window, int type, void* data, EventDataRelease release) {
    EventQueue* queue = Queue();
    bool stored = false;
    bool heldByTail = false;
    if (queue) {
        QueuedEvent* tail = queue->tail;
        if (tail && code < FIRST_UNMERGED_EVENT && SameEvent(tail, code, object, window, type)) {
            heldByTail = tail->data == data;
        } else if (auto* node = queue->pool
                                    ? static_cast<QueuedEvent*>(ElementPool_Alloc(queue->pool))
                                    : nullptr) {
            *node = {nullptr, code, object, window, type, data, release};
            if (tail)
                tail->next = node;
            else
                queue->head = node;
            queue->tail = node;
            stored = true;
        }

        // Bound callbacks see this event as the current one, and the current one after them.
        EventQueue saved = *queue;
        queue->code = code;
        queue->window = window;
        queue->object = object;
        queue->type = type;
        queue->data = data;
        queue->release = release;
        RunBoundCallbacks(code, window, object, type);
        queue->code = saved.code;
        queue->window = saved.window;
        queue->object = saved.object;
        queue->type = saved.type;
        queue->data = saved.data;
        queue->release = saved.release;
    }
    // Data that no queued event owns would never be released by a poll.
    if (!stored && !heldByTail && data && release)
        release(data);
}

int DequeueEvent() {
    EventQueue* queue = Queue();
    if (!queue)
        return 0;
    queue->code = 0;
    if (queue->data && queue->release) {
        // Cleared first: a release that polls again must not release the same data twice.
        void* data = queue->data;
        EventDataRelease release = queue->release;
        queue->data = nullptr;
        queue->release = nullptr;
        release(data);
    }
    queue->type = -1;
    QueuedEvent* node = queue->head;
    if (node) {
        queue->code = node->code;
        queue->object = node->object;
        queue->window = node->window;
        queue->type = node->type;
        queue->data = node->data;
        queue->release = node->release;
        queue->head = node->next;
        if (queue->tail == node)
            queue->tail = nullptr;
        ElementPool_Free(queue->pool, node);
    }
    return queue->code;
}

void PurgeWindowEvents(int window) {
    EventQueue* queue = Queue();
    if (!queue)
        return;
    QueuedEvent* kept = nullptr;
    QueuedEvent* node = queue->head;
    while (node) {
        QueuedEvent* next = node->next;
        if (node->window == window) {
            if (kept)
                kept->next = next;
            else
                queue->head = next;
            ElementPool_Free(queue->pool, node);
        } else {
            kept = node;
        }
        node = next;
    }
    queue->tail = kept;
}
