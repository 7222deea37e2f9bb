#include "scene/owner_id.h"

#include <cstring>

#include "scene/object_manager.h"

namespace {

struct OwnerIds {
    int32_t count;
    uint8_t slots[OWNER_ID_COUNT];
};
OwnerIds s_owners;

struct AuxPool {
    AuxRecord records[AUX_RECORD_COUNT];
    bool used[AUX_RECORD_COUNT]; // beside the records, so a stray free can be told apart
    AuxRecord *free_head;
    AuxRecord *active_head;
    int32_t count;
};
AuxPool s_aux;

bool owner_valid(OwnerId id) {
    return id != 0 && id < OWNER_ID_COUNT;
}

// The pool index of a record; -1 for a pointer outside the pool or into a record's middle.
int32_t aux_index(const AuxRecord *r) {
    if (r < s_aux.records || r >= s_aux.records + AUX_RECORD_COUNT) return -1;
    const uintptr_t offset = (uintptr_t)r - (uintptr_t)s_aux.records;
    if (offset % sizeof(AuxRecord) != 0) return -1;
    return (int32_t)(offset / sizeof(AuxRecord));
}

} // namespace

OwnerId owner_alloc(void) {
    for (OwnerId id = 1; id < OWNER_ID_COUNT; ++id) {
        if (s_owners.slots[id] == 0) {
            s_owners.slots[id] = OWNER_SLOT_IN_USE;
            s_owners.count++;
            return id;
        }
    }
    return 0;
}

void owner_free(OwnerId id) {
    if (!owner_valid(id) || s_owners.slots[id] == 0) return;
    s_owners.slots[id] = 0;
    s_owners.count--;
}

void owner_keep(OwnerId id) {
    if (!owner_valid(id) || !(s_owners.slots[id] & OWNER_SLOT_IN_USE)) return;
    s_owners.slots[id] |= OWNER_SLOT_KEPT;
}

void owner_sweep_unkept(void) {
    for (OwnerId id = 1; id < OWNER_ID_COUNT; ++id) {
        const uint8_t slot = s_owners.slots[id];
        if ((slot & OWNER_SLOT_IN_USE) && !(slot & OWNER_SLOT_KEPT)) {
            obj_release_owner(id);
            owner_free(id);
        }
    }
}

int32_t owner_count(void) {
    return s_owners.count;
}

void owner_clear_all(void) {
    memset(&s_owners, 0, sizeof(s_owners));
}

uint8_t owner_slot(OwnerId id) {
    return id < OWNER_ID_COUNT ? s_owners.slots[id] : 0;
}

void obj_aux_init(void) {
    memset(&s_aux, 0, sizeof(s_aux));
    for (int32_t i = 0; i < AUX_RECORD_COUNT; ++i) {
        s_aux.records[i].prev = i > 0 ? &s_aux.records[i - 1] : nullptr;
        s_aux.records[i].next = i + 1 < AUX_RECORD_COUNT ? &s_aux.records[i + 1] : nullptr;
    }
    s_aux.free_head = &s_aux.records[0];
}

AuxRecord *obj_aux_alloc(OwnerId owner) {
    if (owner >= OWNER_ID_COUNT) return nullptr;
    AuxRecord *r = s_aux.free_head;
    if (!r) return nullptr;
    s_aux.free_head = r->next;
    if (r->next) r->next->prev = nullptr;
    memset(r, 0, sizeof(*r));
    r->next = s_aux.active_head;
    if (r->next) r->next->prev = r;
    s_aux.active_head = r;
    r->owner = owner;
    s_aux.used[aux_index(r)] = true;
    s_aux.count++;
    return r;
}

void obj_aux_free(AuxRecord *r) {
    const int32_t i = aux_index(r);
    if (i < 0 || !s_aux.used[i]) return;
    if (r->prev)
        r->prev->next = r->next;
    else
        s_aux.active_head = r->next;
    if (r->next) r->next->prev = r->prev;
    r->prev = nullptr;
    r->next = s_aux.free_head;
    if (r->next) r->next->prev = r;
    s_aux.free_head = r;
    s_aux.used[i] = false;
    s_aux.count--;
}

void obj_aux_release_owner(OwnerId owner) {
    if (owner == 0) return;
    for (AuxRecord *r = s_aux.active_head; r;) {
        AuxRecord *next = r->next;
        if (r->owner == owner) obj_aux_free(r);
        r = next;
    }
}

int32_t obj_aux_count(void) {
    return s_aux.count;
}
