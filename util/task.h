/// \file
/// Task tree: a fixed pool of TASK_MAX nodes for per-frame game objects, each
/// with an update and a draw callback and a work area. The application drives
/// it (InitTasks, CreateTask, the passes, KillTask, ReapTasks); the framework
/// never does. Lists end at the nil sentinel, never at a null pointer. Nothing
/// here allocates. Single-threaded; InitTasks and ReapTasks run between passes.
#pragma once

#include <cstddef>
#include <cstdint>

struct Task;
/// A task's update or draw operation; it gets the task itself.
using TaskCallback = void (*)(Task *);

/// The number of nodes in the pool.
constexpr int TASK_MAX = 10240;
/// The flag KillTask sets.
constexpr uint32_t TASK_DEAD = 0x80000000u;

/// A node of the task tree: a game object with its callbacks and work area.
struct Task {
    uint32_t flags;      ///< TASK_DEAD; the other bits are the owner's
    Task *child;         ///< first task of the child list, or nil
    Task *next;          ///< next task in this task's list, or nil
    TaskCallback update; ///< never null once created
    TaskCallback draw;   ///< never null once created
    uint32_t user;       ///< the owner's; the tree never touches it
    int32_t count;       ///< update calls since creation
    uint8_t work[144];   ///< the owner's; not cleared on reuse
};
// The fields in this order: 172 bytes in 32-bit programs; in 64-bit ones the
// pointers are 8 bytes and 8-aligned, 192 bytes.
static_assert(sizeof(void *) == 8 || (offsetof(Task, child) == 4 && offsetof(Task, next) == 8 &&
                                      offsetof(Task, update) == 12 && offsetof(Task, draw) == 16 &&
                                      offsetof(Task, user) == 20 && offsetof(Task, count) == 24 &&
                                      offsetof(Task, work) == 28 && sizeof(Task) == 172),
              "Task in 32-bit programs");
static_assert(sizeof(void *) == 4 || (offsetof(Task, work) == 48 && sizeof(Task) == 192),
              "Task in 64-bit programs");

/// Links the whole pool into the free list and empties the active list.
void InitTasks();
/// A task at the front of the active list, or nil when the pool is exhausted.
/// Null callbacks are replaced by do-nothing ones.
Task *CreateTask(TaskCallback update, TaskCallback draw);
/// Updates every task, children before their parent; returns the calls made.
int RunTasks();
/// Updates every task, parent before its children; returns the number of
/// top-level tasks.
int RunTasksParentFirst();
/// Draws every task, children before their parent; returns the calls made.
int DrawTasks();
/// Returns the dead top-level tasks to the free list.
void ReapTasks();
/// Marks the task dead (ReapTasks frees it); returns the task. Nil and NULL
/// are left alone.
Task *KillTask(Task *task);
/// TASK_DEAD for a dead task, else 0 (also for nil and NULL).
uint32_t IsTaskDead(const Task *task);
/// 1 for the nil sentinel, else 0.
int IsTaskNil(const Task *task);
/// The nil sentinel that ends every list.
Task *GetTaskNil();
/// Top-level tasks only.
int CountTasks();
