#include "util/task.h"

namespace {

// The sentinel at the end of every list. Its links point at itself once
// InitTasks has run; before that the lists below are already nil.
Task nil;
// Cache-line aligned: a task's links, callbacks and counters (its first 48
// bytes) then share one line, which every pass over a list touches.
alignas(64) Task pool[TASK_MAX];
Task *freeList = &nil;
Task *activeList = &nil;

void DoNothing(Task *) {}

// Most links lead to the pool's neighbouring node: CreateTask takes the free
// list up the pool, so the active list runs down it, and reaping a list in
// that order gives the free list back in pool order. A pass that waited for
// each link to load before touching the next node would spend most of its
// time waiting; Follow compares the link with the neighbour's address and,
// when they agree, goes on from the address it computed. The processor
// predicts that comparison and starts on the next node while the link is
// still loading; it only waits where a list leaves the pool's order.
Task *Follow(Task *task, Task *link, ptrdiff_t step) {
    auto *guess = reinterpret_cast<Task *>(reinterpret_cast<uintptr_t>(task) +
                                           step * static_cast<ptrdiff_t>(sizeof(Task)));
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
    // NOTE: compared in assembly: a compiler that knows the two are equal
    // goes on from the loaded link again, which is the wait this avoids.
    asm goto("cmp %0, %1\n\tjne %l[differ]" : : "r"(link), "r"(guess) : "cc" : differ);
    return guess;
differ:
#else
    (void)guess;
#endif
    return link;
}

// Children first: the child list is read before the task's own callback, so
// a list attached by that callback runs from the next pass on.
int WalkChildrenFirst(Task *task, bool update) {
    int calls = 0;
    while (task != &nil) {
        if (task->child != &nil) {
            calls += WalkChildrenFirst(task->child, update);
        }
        if (update) {
            task->update(task);
            ++task->count;
        } else {
            task->draw(task);
        }
        ++calls;
        task = Follow(task, task->next, -1);
    }
    return calls;
}

// Parent first: the child list is read after the task's update, so children
// attached by that update run in the same pass. Returns the tasks visited on
// this level only.
int WalkParentFirst(Task *task) {
    int visited = 0;
    while (task != &nil) {
        task->update(task);
        ++task->count;
        if (task->child != &nil) {
            WalkParentFirst(task->child);
        }
        ++visited;
        task = Follow(task, task->next, -1);
    }
    return visited;
}

} // namespace

void InitTasks() {
    nil.child = &nil;
    nil.next = &nil;
    nil.flags = 0;
    for (int i = 0; i < TASK_MAX - 1; ++i) {
        pool[i].next = &pool[i + 1];
    }
    pool[TASK_MAX - 1].next = &nil;
    freeList = &pool[0];
    activeList = &nil;
}

Task *CreateTask(TaskCallback update, TaskCallback draw) {
    if (freeList == &nil) {
        return &nil;
    }
    Task *task = freeList;
    freeList = Follow(task, task->next, 1);
    task->child = &nil;
    task->next = activeList;
    activeList = task;
    task->flags = 0;
    task->count = 0;
    task->update = update ? update : DoNothing;
    task->draw = draw ? draw : DoNothing;
    return task;
}

int RunTasks() { return WalkChildrenFirst(activeList, true); }

// The top-level walk is the same visit as a child list's.
int RunTasksParentFirst() { return WalkParentFirst(activeList); }

int DrawTasks() { return WalkChildrenFirst(activeList, false); }

// The free list's front stays in a register for the walk.
void ReapTasks() {
    Task **link = &activeList;
    Task *freeFront = freeList;
    Task *task = activeList;
    while (task != &nil) {
        Task *next = Follow(task, task->next, -1);
        if (task->flags & TASK_DEAD) {
            *link = next;
            task->next = freeFront;
            freeFront = task;
        } else {
            link = &task->next;
        }
        task = next;
    }
    freeList = freeFront;
}

Task *KillTask(Task *task) {
    if (task != nullptr && task != &nil) {
        task->flags |= TASK_DEAD;
    }
    return task;
}

uint32_t IsTaskDead(const Task *task) {
    if (task == nullptr || task == &nil) {
        return 0;
    }
    return task->flags & TASK_DEAD;
}

int IsTaskNil(const Task *task) { return task == &nil ? 1 : 0; }

Task *GetTaskNil() { return &nil; }

int CountTasks() {
    int count = 0;
    for (const Task *task = activeList; task != &nil; task = task->next) {
        ++count;
    }
    return count;
}
