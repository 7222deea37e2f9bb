// Object manager rules: pool and free-list reuse, owner ids, kind registration, keys and draw
// order, runs, groups, the update pass, one-frame objects, release by owner, aux records, and
// soundness when objects are destroyed from inside walks.
#include <gtest/gtest.h>

#include <vector>

#include "platform/sys/sys_rand.h"
#include "scene/object_manager.h"

namespace {

// A draw callback that records every run it is given.
struct DrawCall {
    int32_t kind;
    std::vector<SceneObject *> run;
};
std::vector<DrawCall> g_calls;
std::vector<int> g_events; // init / term / destroy markers

template <int Id> void record_draw(SceneObject **run, int32_t count) {
    g_calls.push_back({Id, std::vector<SceneObject *>(run, run + count)});
}
template <int Id> void record_init(SceneObject *o) {
    g_events.push_back(100 + Id);
    o->flags |= OBJ_FLAG_VISIBLE;
}
template <int Id> void record_term(SceneObject *) {
    g_events.push_back(200 + Id);
}
void record_destroy(SceneObject *) {
    g_events.push_back(300);
}

class ObjectManager : public ::testing::Test {
  protected:
    void SetUp() override {
        obj_manager_init();
        g_calls.clear();
        g_events.clear();
        kind_a = obj_register_kind(record_draw<1>, record_init<1>, record_term<1>, nullptr, 64);
        kind_b = obj_register_kind(record_draw<2>, record_init<2>, nullptr, nullptr, 64);
    }
    SceneObject *make(int32_t kind, int32_t layer, int32_t sub = OBJ_DEFAULT_SUB_ORDER,
                      OwnerId owner = 0) {
        SceneObject *o = obj_create(owner);
        obj_set_kind(o, kind);
        obj_set_layer(o, layer);
        obj_set_sub_order(o, sub);
        return o;
    }
    void draw_frame(int32_t first = 0, int32_t last = 63) {
        g_calls.clear();
        obj_build_draw_list();
        obj_draw_layers(first, last);
    }
    int32_t kind_a = 0, kind_b = 0;
};

TEST_F(ObjectManager, PoolExhaustsAndReusesTheFreedRecordFirst) {
    std::vector<SceneObject *> all;
    for (int i = 0; i < OBJ_POOL_SIZE; ++i) {
        SceneObject *o = obj_create(1);
        ASSERT_NE(o, nullptr) << i;
        all.push_back(o);
    }
    EXPECT_EQ(obj_create(1), nullptr);
    EXPECT_EQ(obj_get_live_count(), OBJ_POOL_SIZE);
    obj_destroy(all[1234]);
    EXPECT_EQ(obj_get_live_count(), OBJ_POOL_SIZE - 1);
    SceneObject *again = obj_create(2);
    EXPECT_EQ(again, all[1234]);
    EXPECT_EQ(again->owner, 2u);
    EXPECT_EQ(again->kind, 0);
    EXPECT_EQ(again->sub_order, OBJ_DEFAULT_SUB_ORDER);
    EXPECT_EQ(again->full_key, 7u << OBJ_KEY_SUB_SHIFT);
    EXPECT_EQ(obj_create(1), nullptr);
}

TEST_F(ObjectManager, OwnerIdsReuseTheLowestFreeIdAndRefuseStrayIds) {
    for (OwnerId id = 1; id <= 10; ++id) EXPECT_EQ(owner_alloc(), id);
    owner_free(5);
    EXPECT_EQ(owner_count(), 9);
    EXPECT_EQ(owner_alloc(), 5u);
    owner_free(0);
    owner_free(20); // free already
    owner_free(9000);
    owner_keep(9000);
    EXPECT_EQ(owner_count(), 10);
    while (owner_alloc() != 0) {
    }
    EXPECT_EQ(owner_count(), 8191);
    owner_clear_all();
    EXPECT_EQ(owner_count(), 0);
    EXPECT_EQ(owner_alloc(), 1u);
    // Owners above 8191 own nothing.
    EXPECT_EQ(obj_create(8192), nullptr);
    EXPECT_EQ(obj_aux_alloc(8192), nullptr);
    EXPECT_NE(obj_create(8191), nullptr);
}

TEST_F(ObjectManager, SweepReleasesUnkeptOwnersOnly) {
    const OwnerId kept = owner_alloc(), dropped = owner_alloc();
    owner_keep(kept);
    SceneObject *a = make(kind_a, 20, 7, kept);
    SceneObject *b = make(kind_a, 20, 7, dropped);
    b->destroy = record_destroy;
    owner_sweep_unkept();
    EXPECT_TRUE(a->flags & OBJ_FLAG_IN_USE);
    EXPECT_FALSE(b->flags & OBJ_FLAG_IN_USE);
    EXPECT_EQ(owner_slot(kept), OWNER_SLOT_IN_USE | OWNER_SLOT_KEPT);
    EXPECT_EQ(owner_slot(dropped), 0);
    EXPECT_EQ(owner_count(), 1);
}

TEST_F(ObjectManager, KindRegistrationLimits) {
    EXPECT_EQ(kind_a, 1);
    EXPECT_EQ(kind_b, 2);
    EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 257), 0);
    EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 256), 3);
    for (int id = 4; id <= 15; ++id)
        EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 0), id);
    EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 0), 0); // sixteenth
    // A reset keeps them; init clears them.
    obj_reset_all();
    EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 0), 0);
    obj_manager_init();
    EXPECT_EQ(obj_register_kind(nullptr, nullptr, nullptr, nullptr, 0), 1);
}

TEST_F(ObjectManager, SetKindOnlyOnceAndOnlyForValidIds) {
    SceneObject *o = obj_create(0);
    obj_set_kind(o, 16);
    obj_set_kind(o, 0);
    EXPECT_EQ(o->kind, 0);
    obj_set_kind(o, kind_a);
    obj_set_kind(o, kind_b);
    EXPECT_EQ(o->kind, kind_a);
    EXPECT_EQ(g_events, std::vector<int>{101});
    EXPECT_EQ((o->base_key >> OBJ_KEY_KIND_SHIFT) & 0xF, (uint32_t)kind_a);
}

TEST_F(ObjectManager, LayersAboveRangeAreRefused) {
    SceneObject *o = make(kind_a, 12);
    obj_set_layer(o, 64);
    obj_set_layer(o, -1);
    obj_link_layer(o, 200);
    EXPECT_EQ(o->layer, 12);
    EXPECT_EQ(o->base_key >> OBJ_KEY_LAYER_SHIFT, 12u);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    // Unlinking twice leaves the layer list sound.
    obj_unlink_layer(o);
    obj_unlink_layer(o);
    SceneObject *p = make(kind_a, 12);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{p});
}

TEST_F(ObjectManager, DrawOrderLayersThenSubOrderThenKind) {
    SceneObject *low = make(kind_a, 20, 3);
    SceneObject *mid = make(kind_a, 20, 7);
    SceneObject *high = make(kind_a, 20, 9);
    SceneObject *back = make(kind_a, 30, 0);
    SceneObject *kb = make(kind_b, 20, 7);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 5u);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{back}); // higher layer first
    EXPECT_EQ(g_calls[1].run, std::vector<SceneObject *>{high});
    EXPECT_EQ(g_calls[2].run, std::vector<SceneObject *>{kb}); // higher kind id first
    EXPECT_EQ(g_calls[3].run, std::vector<SceneObject *>{mid});
    EXPECT_EQ(g_calls[4].run, std::vector<SceneObject *>{low});
    // A layer range draws only its runs.
    draw_frame(21, 39);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run[0], back);
    // Sub-order keeps its byte; only the low four bits enter the key.
    obj_set_sub_order(high, 0x19);
    EXPECT_EQ(high->sub_order, 0x19);
    EXPECT_EQ((high->base_key >> OBJ_KEY_SUB_SHIFT) & 0xF, 9u);
}

TEST_F(ObjectManager, LikeObjectsReachTheDrawCallbackAsOneRun) {
    std::vector<SceneObject *> made;
    for (int i = 0; i < 50; ++i) made.push_back(make(i % 2 ? kind_a : kind_b, 20));
    draw_frame();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].kind, 2);
    EXPECT_EQ(g_calls[0].run.size(), 25u);
    EXPECT_EQ(g_calls[1].kind, 1);
    EXPECT_EQ(g_calls[1].run.size(), 25u);
    // obj_draw_all ignores the layer: the same kind on two layers next to each other is one run.
    make(kind_b, 40);
    g_calls.clear();
    obj_build_draw_list();
    obj_draw_all();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].run.size(), 26u);
}

// A layer whose head has a zero key is listed unsorted and keeps stale keys: runs must still
// split by kind and by layer.
TEST_F(ObjectManager, UnsortedLayerRunsSplitByKindAndLayer) {
    auto keyless = [](int32_t kind) {
        SceneObject *o = obj_create(0);
        obj_set_sub_order(o, 0); // layer 0, sub-order 0: the key is 0 until the kind's bits
        obj_set_kind(o, kind);   // enter the base key; the stored full key stays 0
        return o;
    };
    SceneObject *a1 = keyless(kind_a);
    SceneObject *b1 = keyless(kind_b);
    SceneObject *a2 = keyless(kind_a);
    ASSERT_EQ(a2->full_key, 0u);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].kind, 1);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{a2});
    EXPECT_EQ(g_calls[1].kind, 2);
    EXPECT_EQ(g_calls[1].run, std::vector<SceneObject *>{b1});
    EXPECT_EQ(g_calls[2].kind, 1);
    EXPECT_EQ(g_calls[2].run, std::vector<SceneObject *>{a1});

    // Moved by the bare list step, an object keeps its zero key on layer 5: drawing layer 0
    // alone still draws layer 0's objects, and only those.
    obj_link_layer(a2, 5);
    draw_frame(0, 0);
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{b1});
    EXPECT_EQ(g_calls[1].run, std::vector<SceneObject *>{a1});
    draw_frame(5, 5);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{a2});
}

uint32_t g_key_of[OBJ_POOL_SIZE];
uint32_t key_from_table(SceneObject *o) {
    return g_key_of[obj_index(o)];
}
uint32_t hide_odd(SceneObject *o) {
    if (obj_index(o) % 2) o->flags &= ~OBJ_FLAG_VISIBLE;
    return 0;
}

TEST_F(ObjectManager, LargeLayerSortsByKindKeyDescending) {
    const int32_t keyed =
        obj_register_kind(record_draw<3>, record_init<3>, nullptr, key_from_table, 0);
    sys_srand(7);
    for (int i = 0; i < 3000; ++i) {
        SceneObject *o = make(keyed, 25);
        g_key_of[obj_index(o)] = (uint32_t)sys_rand() % 50 | 0x30000; // high bits are cut
    }
    obj_build_draw_list();
    const DrawList *list = obj_get_draw_list();
    ASSERT_EQ(list->count, 3000u);
    EXPECT_EQ(list->ready, 1u);
    for (uint32_t i = 0; i < list->count; ++i) {
        EXPECT_EQ(list->entries[i]->full_key & 0xFFFF0000u, list->entries[0]->base_key);
        if (i > 0) {
            ASSERT_GE(list->entries[i - 1]->full_key, list->entries[i]->full_key) << i;
        }
    }
    EXPECT_EQ(list->entries[0]->full_key & 0xFFFF, 49u);
    // Layer drawing runs ignore the kind's own key; the whole-list walk splits by it.
    g_calls.clear();
    obj_draw_layers(0, 63);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run.size(), 3000u);
    g_calls.clear();
    obj_draw_all();
    EXPECT_EQ(g_calls.size(), 50u);

    // Already ordered either way, and all equal: the sort still ends in descending order.
    for (int pattern = 0; pattern < 3; ++pattern) {
        for (int i = 0; i < 3000; ++i)
            g_key_of[i] = pattern == 0 ? (uint32_t)i : pattern == 1 ? 3000u - i : 5u;
        obj_build_draw_list();
        ASSERT_EQ(list->count, 3000u);
        for (uint32_t k = 1; k < list->count; ++k) {
            ASSERT_GE(list->entries[k - 1]->full_key, list->entries[k]->full_key) << pattern;
        }
    }
}

TEST_F(ObjectManager, HiddenGroupsAndDroppedObjectsLeaveTheList) {
    SceneObject *a = make(kind_a, 20);
    SceneObject *b = make(kind_a, 20);
    b->flags |= 3u << OBJ_FLAG_GROUP_SHIFT;
    obj_show_group(3, false);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run, std::vector<SceneObject *>{a});
    obj_show_all_groups(true);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run.size(), 2u);
    // A sort-key callback may drop an object for this frame by clearing its visible bit.
    const int32_t dropper = obj_register_kind(record_draw<4>, record_init<4>, nullptr, hide_odd, 0);
    int expected = 0;
    for (int i = 0; i < 10; ++i) expected += obj_index(make(dropper, 21)) % 2 == 0;
    draw_frame();
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].run.size(), (size_t)expected);
}

int g_updates;
int count_update(SceneObject *) {
    ++g_updates;
    return 0;
}
int finish_update(SceneObject *) {
    ++g_updates;
    return 1;
}

TEST_F(ObjectManager, UpdatePassRunsCallbacksAndCounts) {
    g_updates = 0;
    SceneObject *stays = make(kind_a, 20);
    SceneObject *ends = make(kind_a, 20);
    SceneObject *killed = make(kind_a, 20);
    obj_set_update(stays, count_update);
    obj_set_update(ends, finish_update);
    obj_set_update(ends, nullptr); // ignored
    obj_kill(killed);              // on the list without a callback
    ends->destroy = record_destroy;
    EXPECT_EQ(obj_get_update_list_count(), 3);
    obj_update_pass();
    EXPECT_EQ(g_updates, 2);
    EXPECT_FALSE(ends->flags & OBJ_FLAG_IN_USE);
    EXPECT_EQ(g_events.back(), 201); // term after the destroy callback
    EXPECT_EQ(obj_get_update_count(), 1 + 2);
    EXPECT_EQ(obj_get_update_frame(), 1u);
    EXPECT_EQ(obj_get_update_list_count(), 2);

    obj_skip_next_update();
    obj_update_pass();
    EXPECT_EQ(g_updates, 2);
    EXPECT_EQ(obj_get_update_frame(), 1u);
    EXPECT_EQ(obj_get_update_count(), 3);
    obj_update_pass();
    EXPECT_EQ(g_updates, 3);
    EXPECT_EQ(obj_get_update_frame(), 2u);
    EXPECT_EQ(obj_get_update_count(), 2);
    obj_leave_update_list(stays);
    obj_leave_update_list(stays);
    EXPECT_EQ(obj_get_update_list_count(), 1);
}

TEST_F(ObjectManager, OneFrameObjectIsDrawnOnceThenFreed) {
    SceneObject *o = make(kind_a, 20);
    obj_kill(o);
    EXPECT_EQ((o->flags & OBJ_FLAG_KILL_MASK), OBJ_FLAG_KILLED);
    obj_update_pass();
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run[0], o);
    obj_destroy_killed();
    EXPECT_FALSE(o->flags & OBJ_FLAG_IN_USE);
    EXPECT_EQ(obj_get_live_count(), 0);
    EXPECT_EQ(obj_get_update_list_count(), 0);
    draw_frame();
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(ObjectManager, ReleaseByOwner) {
    const OwnerId owner = owner_alloc();
    SceneObject *mine1 = make(kind_a, 20, 7, owner);
    SceneObject *mine2 = make(kind_b, 20, 7, owner);
    SceneObject *other = make(kind_a, 20, 7, 0);
    mine1->destroy = record_destroy;
    AuxRecord *aux = obj_aux_alloc(owner);
    AuxRecord *aux_other = obj_aux_alloc(owner + 1);
    ASSERT_NE(aux, nullptr);
    obj_release_owner(0); // owner 0 destroys nothing, not even objects of owner 0
    EXPECT_TRUE(other->flags & OBJ_FLAG_IN_USE);
    g_events.clear();
    obj_release_owner(owner);
    EXPECT_FALSE(mine1->flags & OBJ_FLAG_IN_USE);
    EXPECT_FALSE(mine2->flags & OBJ_FLAG_IN_USE);
    EXPECT_TRUE(other->flags & OBJ_FLAG_IN_USE);
    EXPECT_EQ(g_events, (std::vector<int>{300, 201}));
    EXPECT_EQ(obj_aux_count(), 1);
    EXPECT_EQ(owner_slot(owner), OWNER_SLOT_IN_USE); // the id stays in use
    obj_aux_free(aux_other);
    EXPECT_EQ(obj_aux_count(), 0);
}

TEST_F(ObjectManager, AuxRecordsPoolAndStrayFrees) {
    std::vector<AuxRecord *> all;
    for (int i = 0; i < AUX_RECORD_COUNT; ++i) all.push_back(obj_aux_alloc(3));
    EXPECT_NE(all.back(), nullptr);
    EXPECT_EQ(obj_aux_alloc(3), nullptr);
    all[10]->body[0] = 0x55;
    obj_aux_free(all[10]);
    obj_aux_free(all[10]); // a second free changes nothing
    obj_aux_free(nullptr);
    AuxRecord stray = {};
    obj_aux_free(&stray);
    // A pointer into a record's body (not the record itself) frees nothing.
    obj_aux_free(reinterpret_cast<AuxRecord *>(all[20]->body));
    EXPECT_EQ(obj_aux_count(), AUX_RECORD_COUNT - 1);
    AuxRecord *again = obj_aux_alloc(4);
    EXPECT_EQ(again, all[10]);
    EXPECT_EQ(again->body[0], 0);
    EXPECT_EQ(again->owner, 4u);
    EXPECT_EQ(obj_aux_alloc(3), nullptr);
}

TEST_F(ObjectManager, ResetRunsNoCallbacksAndKeepsKinds) {
    SceneObject *o = make(kind_a, 20, 7, 5);
    o->destroy = record_destroy;
    obj_set_update(o, count_update);
    obj_aux_alloc(5);
    owner_alloc();
    g_events.clear();
    obj_reset_all();
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(obj_get_live_count(), 0);
    EXPECT_EQ(obj_get_update_list_count(), 0);
    EXPECT_EQ(owner_count(), 0);
    EXPECT_EQ(obj_aux_count(), 0);
    SceneObject *n = make(kind_a, 20);
    EXPECT_EQ(n, obj_at(0)); // the free list starts over in index order
    EXPECT_EQ(n->kind, kind_a);
    draw_frame();
    EXPECT_EQ(g_calls.size(), 1u);
}

// Destroying objects from inside walks.
SceneObject *g_victim;
int destroy_victim(SceneObject *) {
    obj_destroy(g_victim);
    return 0;
}
void destroy_self_again(SceneObject *o) {
    g_events.push_back(300);
    obj_destroy(o);
}
// Destroys the object the walk would visit next (created just before this one).
void destroy_next_in_walk(SceneObject *o) {
    const int32_t i = obj_index(o);
    if (i % 2 == 0 && i > 0) obj_destroy(obj_at(i - 1));
    g_events.push_back(i);
}

TEST_F(ObjectManager, DestroyingInsideWalksKeepsTheListsSound) {
    g_updates = 0;
    // The update list runs newest first: `first` runs before `victim`, its successor.
    SceneObject *victim = make(kind_a, 20);
    SceneObject *first = make(kind_a, 20);
    obj_set_update(victim, count_update);
    obj_set_update(first, destroy_victim);
    g_victim = victim;
    obj_update_pass();
    EXPECT_EQ(g_updates, 0); // the destroyed successor is not called
    EXPECT_FALSE(victim->flags & OBJ_FLAG_IN_USE);
    EXPECT_EQ(obj_get_update_list_count(), 1);

    // A destroy callback that destroys its own object again.
    first->destroy = destroy_self_again;
    g_events.clear();
    obj_destroy(first);
    EXPECT_EQ(g_events, (std::vector<int>{300, 201}));
    EXPECT_EQ(obj_get_live_count(), 0);

    // for_each may destroy objects it has not visited yet.
    obj_reset_all();
    for (int i = 0; i < 20; ++i) make(kind_b, 20); // no term callback
    g_events.clear();
    obj_for_each(destroy_next_in_walk); // newest first: 19, 18 (destroys 17), 16, ...
    obj_for_each(nullptr);
    EXPECT_EQ(obj_get_live_count(), 11);
    EXPECT_EQ(g_events, (std::vector<int>{19, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0}));

    // Foreign and free pointers are ignored.
    SceneObject local = {};
    local.flags = OBJ_FLAG_IN_USE;
    obj_destroy(&local);
    obj_destroy(obj_at(17));
    obj_destroy(nullptr);
    EXPECT_EQ(obj_get_live_count(), 11);
    g_updates = 0;
    obj_for_each([](SceneObject *) { g_updates++; });
    EXPECT_EQ(g_updates, 11);
    draw_frame();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].run.size(), 11u);
}

int reset_from_update(SceneObject *) {
    obj_reset_all();
    return 0;
}

TEST_F(ObjectManager, ResetInsideTheUpdatePassEndsTheWalk) {
    g_updates = 0;
    SceneObject *later = make(kind_a, 20);
    obj_set_update(later, count_update);
    SceneObject *resetter = make(kind_a, 20);
    obj_set_update(resetter, reset_from_update);
    obj_update_pass();
    EXPECT_EQ(g_updates, 0);
    EXPECT_EQ(obj_get_live_count(), 0);
    for (int i = 0; i < OBJ_POOL_SIZE; ++i) ASSERT_NE(obj_create(0), nullptr);
}

void reset_from_destroy(SceneObject *) {
    obj_reset_all();
}
void reset_and_create_from_destroy(SceneObject *) {
    obj_reset_all();
    obj_create(9); // takes the first record again, the one being destroyed
}

// A destroy or term callback that resets the objects: the destroy ends there and the pool
// stays whole.
TEST_F(ObjectManager, ResetInsideADestroyCallbackLeavesThePoolWhole) {
    const int32_t kind_c =
        obj_register_kind(record_draw<3>, record_init<3>, reset_from_destroy, nullptr, 64);
    for (int pass = 0; pass < 3; ++pass) {
        obj_reset_all();
        SceneObject *o = make(pass == 2 ? kind_c : kind_a, 20); // the first record
        ASSERT_EQ(obj_index(o), 0);
        if (pass < 2) o->destroy = pass == 0 ? reset_from_destroy : reset_and_create_from_destroy;
        g_events.clear();
        obj_destroy(o);
        EXPECT_EQ(g_events, std::vector<int>{}) << pass; // no term for a reset object
        const int live = pass == 1 ? 1 : 0;
        EXPECT_EQ(obj_get_live_count(), live) << pass;
        g_updates = 0;
        obj_for_each([](SceneObject *) { g_updates++; });
        EXPECT_EQ(g_updates, live) << pass;
        if (pass == 1) {
            EXPECT_TRUE(o->flags & OBJ_FLAG_IN_USE); // the new object stays
            EXPECT_EQ(o->owner, 9u);
        }
        for (int i = live; i < OBJ_POOL_SIZE; ++i) ASSERT_NE(obj_create(0), nullptr) << pass;
        EXPECT_EQ(obj_create(0), nullptr);
    }
}

} // namespace
