// The intrusive doubly linked free and active lists of the collision pools. A record type has
// `prev` and `next` pointers; taking a record clears it.
#pragma once
#include <cstring>

// Links `count` records into a free list in index order; returns its head.
template <typename T> T *coll_list_link_free(T *records, int count) {
    for (int i = 0; i < count; ++i) {
        records[i].prev = i > 0 ? &records[i - 1] : nullptr;
        records[i].next = i + 1 < count ? &records[i + 1] : nullptr;
    }
    return &records[0];
}

// Takes the free head, cleared, and pushes it at the head of the active list; null when the
// free list is empty.
template <typename T> T *coll_list_take(T **free_head, T **active_head) {
    T *r = *free_head;
    if (!r) return nullptr;
    *free_head = r->next;
    if (*free_head) (*free_head)->prev = nullptr;
    std::memset(static_cast<void *>(r), 0, sizeof *r);
    r->next = *active_head;
    if (*active_head) (*active_head)->prev = r;
    *active_head = r;
    return r;
}

// Unlinks an active record and pushes it at the head of the free list.
template <typename T> void coll_list_give_back(T *r, T **free_head, T **active_head) {
    if (r->prev)
        r->prev->next = r->next;
    else
        *active_head = r->next;
    if (r->next) r->next->prev = r->prev;
    r->prev = nullptr;
    r->next = *free_head;
    if (*free_head) (*free_head)->prev = r;
    *free_head = r;
}
