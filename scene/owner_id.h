// Owner ids: small numbers a scene, stage or actor takes at its start and gives back at its
// end; releasing an owner destroys its objects and everything else tagged with it. Also the
// pool of small owned scratch records.
#pragma once
#include <cstdint>

// 1-8191; 0 means no owner.
typedef uint32_t OwnerId;

enum : uint32_t {
    OWNER_ID_COUNT = 8192, // slot 0 is never handed out
    OWNER_SLOT_IN_USE = 1u << 0,
    OWNER_SLOT_KEPT = 1u << 1,
};

OwnerId owner_alloc(void); // the lowest free id; 0 when all are taken
void owner_free(OwnerId id);
void owner_keep(OwnerId id);
void owner_sweep_unkept(void); // releases and frees every id in use and not kept
int32_t owner_count(void);
void owner_clear_all(void);     // frees every id; nothing is released
uint8_t owner_slot(OwnerId id); // slot bits; 0 for a free or out-of-range id

enum : int32_t {
    AUX_RECORD_COUNT = 1024,
    AUX_BODY_BYTES = 128,
};

struct AuxRecord {
    OwnerId owner;
    uint8_t body[AUX_BODY_BYTES]; // the holder's own use
    AuxRecord *prev, *next;
};

void obj_aux_init(void);
AuxRecord *obj_aux_alloc(OwnerId owner); // zeroed; null when the pool is empty
void obj_aux_free(AuxRecord *record);    // null, foreign or free records: nothing
void obj_aux_release_owner(OwnerId owner);
int32_t obj_aux_count(void);
