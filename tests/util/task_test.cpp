#include <fw/util/task.h>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// What the callbacks saw, in order; 'u' for update, 'd' for draw.
struct Call {
    char kind;
    Task *task;
    bool operator==(const Call &other) const { return kind == other.kind && task == other.task; }
};
std::vector<Call> calls;

void RecordUpdate(Task *task) { calls.push_back({'u', task}); }
void RecordDraw(Task *task) { calls.push_back({'d', task}); }

class TaskTree : public ::testing::Test {
  protected:
    void SetUp() override {
        InitTasks();
        calls.clear();
    }

    static Task *Make() { return CreateTask(RecordUpdate, RecordDraw); }
};

std::vector<Call> Updates(std::initializer_list<Task *> tasks) {
    std::vector<Call> result;
    for (Task *t : tasks) {
        result.push_back({'u', t});
    }
    return result;
}

TEST_F(TaskTree, NewestTaskRunsAndDrawsFirst) {
    Task *t1 = Make();
    Task *t2 = Make();
    Task *t3 = Make();
    EXPECT_EQ(RunTasks(), 3);
    EXPECT_EQ(calls, Updates({t3, t2, t1}));
    calls.clear();
    EXPECT_EQ(DrawTasks(), 3);
    EXPECT_EQ(calls, (std::vector<Call>{{'d', t3}, {'d', t2}, {'d', t1}}));
    EXPECT_EQ(t1->count, 1);
    EXPECT_EQ(CountTasks(), 3);
}

TEST_F(TaskTree, PoolHoldsExactlyTaskMaxAndReusesTheReapedNode) {
    std::vector<Task *> tasks;
    for (int i = 0; i < TASK_MAX; ++i) {
        Task *t = CreateTask(nullptr, nullptr);
        ASSERT_FALSE(IsTaskNil(t)) << "task " << i;
        tasks.push_back(t);
    }
    EXPECT_EQ(CountTasks(), TASK_MAX);
    EXPECT_TRUE(IsTaskNil(CreateTask(nullptr, nullptr)));

    Task *victim = tasks[5000];
    KillTask(victim);
    ReapTasks();
    EXPECT_EQ(CountTasks(), TASK_MAX - 1);
    EXPECT_EQ(CreateTask(nullptr, nullptr), victim);
    EXPECT_TRUE(IsTaskNil(CreateTask(nullptr, nullptr)));
}

TEST_F(TaskTree, LastDeadTaskInListOrderIsReusedFirst) {
    Task *a = Make();
    Task *b = Make();
    Task *c = Make(); // active list: c, b, a
    KillTask(a);
    KillTask(b);
    KillTask(c);
    ReapTasks();
    EXPECT_EQ(CountTasks(), 0);
    EXPECT_EQ(RunTasks(), 0);
    // Reaped in list order c, b, a, each pushed on the free list: a is on top.
    EXPECT_EQ(Make(), a);
    EXPECT_EQ(Make(), b);
    EXPECT_EQ(Make(), c);
}

TEST_F(TaskTree, ReapKeepsLiveTasksInOrder) {
    Task *a = Make();
    Task *b = Make();
    Task *c = Make();
    Task *d = Make(); // d, c, b, a
    KillTask(c);
    KillTask(a);
    ReapTasks();
    EXPECT_EQ(RunTasks(), 2);
    EXPECT_EQ(calls, Updates({d, b}));
}

// Random creates, kills and reaps, so that the lists run in and out of the
// pool's order, against a model: the active list newest first, reaped nodes
// reused from the last one reaped.
TEST_F(TaskTree, ListsMatchAModelThroughRandomChurn) {
    std::mt19937 random(7);
    std::vector<Task *> active, reaped; // reaped: the next one to reuse last
    for (int step = 0; step < 2000; ++step) {
        const unsigned action = random() % 4;
        if (action < 2) {
            Task *t = Make();
            if (!reaped.empty()) {
                ASSERT_EQ(t, reaped.back()) << "step " << step;
                reaped.pop_back();
            }
            active.insert(active.begin(), t);
        } else if (action == 2 && !active.empty()) {
            KillTask(active[random() % active.size()]);
        } else {
            std::vector<Task *> live;
            for (Task *t : active) {
                (IsTaskDead(t) ? reaped : live).push_back(t);
            }
            ReapTasks();
            active = live;
        }
        calls.clear();
        ASSERT_EQ(RunTasks(), static_cast<int>(active.size())) << "step " << step;
        std::vector<Call> expected;
        for (Task *t : active) {
            expected.push_back({'u', t});
        }
        ASSERT_EQ(calls, expected) << "step " << step;
    }
}

TEST_F(TaskTree, KilledTaskRunsUntilReaped) {
    Task *t = Make();
    KillTask(t);
    EXPECT_EQ(RunTasks(), 1);
    EXPECT_EQ(DrawTasks(), 1);
    EXPECT_EQ(RunTasks(), 1);
    EXPECT_EQ(t->count, 2);
    ReapTasks();
    EXPECT_EQ(RunTasks(), 0);
}

TEST_F(TaskTree, DeadFlagAndNilQueries) {
    Task *t = Make();
    EXPECT_EQ(IsTaskDead(t), 0u);
    EXPECT_EQ(KillTask(t), t);
    EXPECT_EQ(IsTaskDead(t), 0x80000000u);
    EXPECT_EQ(IsTaskDead(nullptr), 0u);
    EXPECT_EQ(IsTaskDead(GetTaskNil()), 0u);
    EXPECT_EQ(KillTask(nullptr), nullptr);
    EXPECT_EQ(KillTask(GetTaskNil()), GetTaskNil());
    EXPECT_EQ(GetTaskNil()->flags, 0u);
    EXPECT_EQ(IsTaskNil(GetTaskNil()), 1);
    EXPECT_EQ(IsTaskNil(t), 0);
    EXPECT_EQ(GetTaskNil()->next, GetTaskNil());
    EXPECT_EQ(GetTaskNil()->child, GetTaskNil());
}

Task *spawned;
void SpawnOnce(Task *task) {
    RecordUpdate(task);
    if (spawned == nullptr) {
        spawned = CreateTask(RecordUpdate, nullptr);
    }
}

TEST_F(TaskTree, TaskCreatedDuringAPassRunsFromTheNextPass) {
    spawned = nullptr;
    Task *parent = CreateTask(SpawnOnce, nullptr);
    EXPECT_EQ(RunTasks(), 1);
    ASSERT_NE(spawned, nullptr);
    EXPECT_EQ(calls, Updates({parent}));
    calls.clear();
    EXPECT_EQ(RunTasks(), 2);
    EXPECT_EQ(calls, Updates({spawned, parent}));
}

// Builds P with children X then Y; P is the only top-level task.
struct Family {
    Task *p, *x, *y;
};
Family MakeFamily() {
    Task *y = CreateTask(RecordUpdate, RecordDraw);
    Task *x = CreateTask(RecordUpdate, RecordDraw);
    Task *p = CreateTask(RecordUpdate, RecordDraw);
    // The active list is p, x, y: move x and y under p.
    p->next = GetTaskNil();
    p->child = x; // x->next is already y, y->next nil
    return {p, x, y};
}

TEST_F(TaskTree, ChildrenRunBeforeTheirParent) {
    Family f = MakeFamily();
    EXPECT_EQ(CountTasks(), 1);
    EXPECT_EQ(RunTasks(), 3);
    EXPECT_EQ(calls, Updates({f.x, f.y, f.p}));
    calls.clear();
    EXPECT_EQ(DrawTasks(), 3);
    EXPECT_EQ(calls, (std::vector<Call>{{'d', f.x}, {'d', f.y}, {'d', f.p}}));
}

TEST_F(TaskTree, ParentFirstPassCountsOnlyTopLevelTasks) {
    Family f = MakeFamily();
    EXPECT_EQ(RunTasksParentFirst(), 1);
    EXPECT_EQ(calls, Updates({f.p, f.x, f.y}));
    EXPECT_EQ(f.x->count, 1);
    EXPECT_EQ(f.p->count, 1);
}

Task *adoptee;
void AdoptInUpdate(Task *task) {
    RecordUpdate(task);
    task->child = adoptee;
}

TEST_F(TaskTree, ChildAttachedByUpdateRunsAccordingToPassOrder) {
    adoptee = CreateTask(RecordUpdate, nullptr);
    Task *p = CreateTask(AdoptInUpdate, nullptr);
    p->next = GetTaskNil(); // adoptee leaves the active list

    EXPECT_EQ(RunTasks(), 1); // child read before the update: not yet seen
    EXPECT_EQ(calls, Updates({p}));

    p->child = GetTaskNil();
    calls.clear();
    EXPECT_EQ(RunTasksParentFirst(), 1); // child read after the update
    EXPECT_EQ(calls, Updates({p, adoptee}));
}

TEST_F(TaskTree, NullCallbacksStillCount) {
    Task *t = CreateTask(nullptr, nullptr);
    EXPECT_EQ(RunTasks(), 1);
    EXPECT_EQ(RunTasksParentFirst(), 1);
    EXPECT_EQ(DrawTasks(), 1);
    EXPECT_EQ(t->count, 2);
    EXPECT_NE(t->update, nullptr);
    EXPECT_NE(t->draw, nullptr);
}

TEST_F(TaskTree, CreateResetsTheNodeButKeepsItsWorkArea) {
    Task *t = Make();
    t->work[0] = 0x5A;
    t->work[143] = 0xA5;
    t->flags = 0x1234;
    RunTasks();
    KillTask(t);
    ReapTasks();
    Task *again = CreateTask(nullptr, nullptr);
    ASSERT_EQ(again, t);
    EXPECT_EQ(again->flags, 0u);
    EXPECT_EQ(again->count, 0);
    EXPECT_EQ(again->child, GetTaskNil());
    EXPECT_EQ(again->work[0], 0x5A);
    EXPECT_EQ(again->work[143], 0xA5);
}

TEST_F(TaskTree, InitForgetsEveryTaskWithoutCallingIt) {
    Make();
    Make();
    InitTasks();
    EXPECT_EQ(CountTasks(), 0);
    EXPECT_EQ(RunTasks(), 0);
    EXPECT_TRUE(calls.empty());
}

} // namespace
