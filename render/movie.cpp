#include "render/movie.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/config.h"
#include "platform/gpu/gpu.h"
#include "platform/movie/movie_file.h"
#include "platform/sys/sys_time.h"
#include "resource/res_texture.h"

namespace {

constexpr int32_t FRAME_FORMAT_INDEX = 1; // X8R8G8B8
constexpr uint32_t LARGEST_SIDE = 32768;  // a power of two a texture handle's sizes can hold

struct MovieBlock {
    MovieSlot slots[MOVIE_SLOT_COUNT];
    MovieSlot *active_head;
    MovieSlot *free_head;
    int32_t count;
    ResourceMark mark;
    char folder[MOVIE_PATH_SIZE];
};

MovieBlock s_block;
std::atomic<int32_t> s_live_decoders{0};

bool is_slot(const MovieSlot *s) {
    for (const MovieSlot &slot : s_block.slots)
        if (s == &slot) return true;
    return false;
}

void unlink_active(MovieSlot *s) {
    if (s->previous)
        s->previous->next = s->next;
    else
        s_block.active_head = s->next;
    if (s->next) s->next->previous = s->previous;
    s->previous = s->next = nullptr;
}

// Largest frame side the device can hold in one texture.
uint32_t largest_frame_side(void) {
    GpuCaps caps = {};
    if (!gpu_get_device_caps(&caps)) return 0;
    return caps.max_texture_size < LARGEST_SIDE ? caps.max_texture_size : LARGEST_SIDE;
}

// Milliseconds from frame 0 to frame `frame`, rounded up so the frame computed back from them
// is `frame` itself and not the one before.
uint32_t ms_before(uint32_t frame, double rate) {
    const double ms = std::ceil((double)frame / (rate * 0.001));
    return ms < (double)UINT32_MAX ? (uint32_t)ms : UINT32_MAX;
}

// The frame due `elapsed` milliseconds after frame 0; `count` for any frame past the end.
uint32_t frame_due(uint32_t elapsed, double rate, uint32_t count) {
    const double frame = (double)elapsed * rate * 0.001;
    return frame < (double)count ? (uint32_t)frame : count;
}

// Milliseconds from `now` until the frame after the last fetched is due; 0 when it is due.
uint32_t ms_to_next_frame(const MoviePlayer *p, uint32_t now) {
    const uint32_t due = ms_before(p->last_frame + 1, p->rate), elapsed = now - p->start_time;
    return due > elapsed ? due - elapsed : 0;
}

// Decode thread: true when a frame can be handed over now. Otherwise the thread asks to be woken
// when the frame on screen is consumed (under the same lock, so that wake-up is not missed).
bool can_hand_over(MoviePlayer *p) {
    std::lock_guard<std::mutex> guard(p->lock);
    if (!p->frame_ready && !p->frame_pending) return true;
    p->wants_screen = 1;
    return false;
}

// Main thread: the decode thread steps again now, whatever it waits for.
void signal_decoder(MoviePlayer *p) {
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->signalled = 1;
    }
    p->wake.notify_one();
}

void set_state(MovieSlot *s, uint32_t state) {
    if (!is_slot(s)) return;
    s->player.state = state;
    signal_decoder(&s->player);
}

// Decode thread: the frame becomes pending unless one is pending or on screen unconsumed.
void hand_over(MoviePlayer *p, const uint8_t *rows, uint32_t frame) {
    std::lock_guard<std::mutex> guard(p->lock);
    if (p->frame_ready || p->frame_pending) return;
    memcpy(p->pending, rows, (size_t)p->row_stride * (size_t)p->height);
    p->frame_pending = 1;
    p->handed_frame = frame;
}

void decode_thread(MovieSlot *s) {
    MoviePlayer *p = &s->player;
    while (s->run.load()) {
        movie_decode_step(p);
        std::unique_lock<std::mutex> guard(p->lock);
        const auto woken = [s, p] { return p->signalled || !s->run.load(); };
        if (p->wait_ms == MOVIE_WAIT_SIGNAL)
            p->wake.wait(guard, woken);
        else if (p->wait_ms > 0)
            p->wake.wait_for(guard, std::chrono::milliseconds(p->wait_ms), woken);
        p->signalled = 0;
        p->wants_screen = 0; // asked again by the next step if the screen is still busy
    }
    s_live_decoders.fetch_sub(1);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up, shutdown and scene hooks

void movie_init(void) {
    for (MovieSlot &s : s_block.slots) {
        s.flags = 0;
        s.owner = 0;
        s.run = 0;
        s.player.movie = nullptr;
        s.player.pending = nullptr;
        s.player.state = MOVIE_STATE_STOPPED;
    }
    s_block.mark = ResourceMark{};
    const char *folder = cfg_get_string("MVDATAP");
    snprintf(s_block.folder, sizeof s_block.folder, "%s", folder ? folder : ".\\bin\\");
    res_mark(&s_block.mark);
    for (int32_t i = 0; i < MOVIE_SLOT_COUNT; ++i) {
        MoviePlayer *p = &s_block.slots[i].player;
        for (int32_t b = 0; b < 2; ++b) {
            char name[16];
            snprintf(name, sizeof name, "movtex%d%d", (int)i, (int)b);
            p->textures[b] = res_create_texture("motex", name, 1, 1, FRAME_FORMAT_INDEX);
            p->crops[b] = res_create_crop("motex", name, 0, 0, 0, 0, p->textures[b]);
        }
    }
    movie_reset_slots();
}

void movie_shutdown(void) {
    movie_stop_all();
    movie_reset_slots();
    if (s_block.mark.valid) res_release_to_mark(&s_block.mark);
    s_block.mark = ResourceMark{};
    for (MovieSlot &s : s_block.slots) {
        s.player.textures[0] = s.player.textures[1] = 0;
        s.player.crops[0] = s.player.crops[1] = 0;
    }
}

void movie_reset(void) {
    movie_stop_all();
    movie_reset_slots();
}

void movie_reset_slots(void) {
    // Every slot by index, not the active list: a slot that is running must be joined even when
    // the list has been emptied already.
    for (MovieSlot &s : s_block.slots) {
        if (s.flags & MOVIE_SLOT_THREAD) movie_join_thread(&s);
        s.flags = 0;
        s.owner = 0;
    }
    s_block.active_head = nullptr;
    s_block.free_head = &s_block.slots[0];
    for (int32_t i = 0; i < MOVIE_SLOT_COUNT; ++i) {
        MovieSlot *s = &s_block.slots[i];
        s->previous = i > 0 ? s - 1 : nullptr;
        s->next = i + 1 < MOVIE_SLOT_COUNT ? s + 1 : nullptr;
    }
    s_block.count = 0;
}

int32_t movie_get_count(void) {
    return s_block.count;
}

void movie_stop_all(void) {
    for (MovieSlot &s : s_block.slots)
        if (s.flags & MOVIE_SLOT_IN_USE) movie_stop(&s);
}

void movie_update_all(void) {
    for (MovieSlot *s = s_block.active_head; s; s = s->next) movie_upload_frame(&s->player);
}

void movie_consume_frames(void) {
    for (MovieSlot *s = s_block.active_head; s; s = s->next) movie_consume_frame(&s->player);
}

void movie_stop_owner(OwnerId owner) {
    if (owner == 0) return;
    for (MovieSlot &s : s_block.slots)
        if ((s.flags & MOVIE_SLOT_IN_USE) && s.owner == owner) movie_stop(&s);
}

// ---------------------------------------------------------------------------------------------
// Slots

MovieSlot *movie_play(OwnerId owner, const char *name, uint32_t mode) {
    MovieSlot *s = s_block.free_head;
    if (!s) return nullptr;
    s_block.free_head = s->next;
    if (s_block.free_head) s_block.free_head->previous = nullptr;
    s->previous = nullptr;
    s->next = s_block.active_head;
    if (s_block.active_head) s_block.active_head->previous = s;
    s_block.active_head = s;
    s->flags = MOVIE_SLOT_IN_USE;
    s->owner = owner;
    movie_start_thread(s, name, mode);
    ++s_block.count;
    return s;
}

void movie_stop(MovieSlot *s) {
    if (!is_slot(s) || !(s->flags & MOVIE_SLOT_IN_USE)) return;
    movie_join_thread(s);
    s->flags &= ~MOVIE_SLOT_IN_USE;
    unlink_active(s);
    s->next = s_block.free_head;
    if (s_block.free_head) s_block.free_head->previous = s;
    s_block.free_head = s;
    --s_block.count;
}

int32_t movie_start_thread(MovieSlot *s, const char *name, uint32_t mode) {
    if (!is_slot(s) || !name) return 0;
    if (s->flags & MOVIE_SLOT_THREAD) movie_join_thread(s);
    char path[2 * MOVIE_PATH_SIZE];
    if (snprintf(path, sizeof path, "%s%s", s_block.folder, name) >= (int)sizeof path) return 0;
    MoviePlayer *p = &s->player;
    if (p->state.load() != MOVIE_STATE_STOPPED || !movie_open_player(p, path)) return 0;
    p->mode = mode;
    // Set before the thread exists, so a join made before the thread first runs still ends it.
    s->run = 1;
    s_live_decoders.fetch_add(1);
    try {
        s->thread = std::thread(decode_thread, s);
    } catch (...) {
        s_live_decoders.fetch_sub(1);
        s->run = 0;
        movie_close_player(p);
        return 0;
    }
    p->state = MOVIE_STATE_PLAYING;
    s->flags |= MOVIE_SLOT_THREAD;
    return 1;
}

void movie_join_thread(MovieSlot *s) {
    if (!is_slot(s)) return;
    s->player.state = MOVIE_STATE_STOPPED;
    s->run = 0;
    signal_decoder(&s->player);
    if (s->thread.joinable()) s->thread.join();
    if (s->player.movie) movie_close_player(&s->player);
    s->flags &= ~MOVIE_SLOT_THREAD;
}

ResourceHandle movie_get_sprite(MovieSlot *s) {
    if (!is_slot(s)) return 0;
    std::lock_guard<std::mutex> guard(s->player.lock);
    return s->player.crops[s->player.front];
}

void movie_play_on(MovieSlot *s) {
    set_state(s, MOVIE_STATE_PLAYING);
}
void movie_pause(MovieSlot *s) {
    set_state(s, MOVIE_STATE_PAUSED);
}
void movie_rewind(MovieSlot *s) {
    set_state(s, MOVIE_STATE_REWIND);
}

int32_t movie_step_to(MovieSlot *s, uint32_t frame) {
    if (!is_slot(s)) return 0;
    MoviePlayer *p = &s->player;
    if (p->mode.load() != MOVIE_MODE_STEPPED) return 1;
    if (frame >= p->frame_count) return 0;
    p->current_frame = frame;
    signal_decoder(p);
    return 1;
}

uint32_t movie_get_mode(MovieSlot *s) {
    return is_slot(s) ? s->player.mode.load() : 0;
}
void movie_set_mode(MovieSlot *s, uint32_t mode) {
    if (!is_slot(s)) return;
    s->player.mode = mode;
    signal_decoder(&s->player);
}
uint32_t movie_get_frame_count(MovieSlot *s) {
    return is_slot(s) ? s->player.frame_count : 0;
}

MovieSlot *movie_slot_at(int32_t index) {
    return index >= 0 && index < MOVIE_SLOT_COUNT ? &s_block.slots[index] : nullptr;
}

int32_t movie_live_decoders(void) {
    return s_live_decoders.load();
}

// ---------------------------------------------------------------------------------------------
// Players

int32_t movie_open_player(MoviePlayer *p, const char *path) {
    if (!p) return 0;
    if (p->movie) movie_close_player(p);
    p->reserved = 0;
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->frame_ready = p->frame_pending = 0;
        p->front = 0;
        p->signalled = p->wants_screen = 0;
    }
    p->busy = 0;
    p->wait_ms = 0;
    p->current_frame = 0;
    p->last_frame = 0;
    p->handed_frame = 0;
    p->resync = 0;
    p->frame_count = 1;
    p->state = MOVIE_STATE_STOPPED;
    if (!path) return 0;

    p->movie = mvl_open(path);
    if (!p->movie) return 0;
    const int32_t w = mvl_width(p->movie), h = mvl_height(p->movie);
    const uint32_t largest = largest_frame_side();
    const double rate = mvl_rate(p->movie);
    const uint32_t count = mvl_frame_count(p->movie);
    const uint8_t *rows = nullptr;
    // Sizes the texture handle cannot hold, a rate the timing cannot divide by and an empty
    // stream are refused here, before anything depends on them.
    if (w >= 1 && h >= 1 && (uint32_t)w <= largest && (uint32_t)h <= largest &&
        std::isfinite(rate) && rate > 0.0 && count >= 1)
        rows = mvl_fetch_frame(p->movie, 0);
    if (rows) {
        p->width = w;
        p->height = h;
        p->texture_width = movie_next_pow2((uint32_t)w);
        p->texture_height = movie_next_pow2((uint32_t)h);
        p->row_stride = (uint32_t)w * 3;
        p->rate = rate;
        p->frame_count = count;
        p->pending = (uint8_t *)malloc((size_t)p->row_stride * (size_t)h);
    }
    bool ok = rows && p->pending;
    for (int32_t b = 0; ok && b < 2; ++b) {
        res_resize_texture(p->textures[b], (int32_t)p->texture_width, (int32_t)p->texture_height,
                           FRAME_FORMAT_INDEX);
        const TextureHandle *t = res_get_texture(p->textures[b]);
        ok = t && t->width == p->texture_width && t->height == p->texture_height;
        // The rows come bottom-up: the crop turns them over so the picture stands upright.
        if (ok) res_set_crop_rect(p->crops[b], 0, (float)h, (float)w, (float)-h, p->textures[b]);
    }
    if (!ok) {
        movie_close_player(p);
        return 0;
    }
    memcpy(p->pending, rows, (size_t)p->row_stride * (size_t)h);
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->frame_pending = 1; // frame 0 is shown as soon as the main thread uploads it
    }
    p->start_time = sys_time_ms();
    p->busy = 1;
    return 1;
}

void movie_close_player(MoviePlayer *p) {
    if (!p) return;
    for (int32_t b = 1; b >= 0; --b) {
        res_set_crop_rect(p->crops[b], 0, 0, 0, 0, 0);
        res_resize_texture(p->textures[b], 0, 0, FRAME_FORMAT_INDEX);
    }
    mvl_close(p->movie);
    p->movie = nullptr;
    free(p->pending);
    p->pending = nullptr;
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->frame_ready = p->frame_pending = 0;
        p->front = 0;
    }
    p->width = p->height = 0;
    p->frame_count = 1;
    p->busy = 0;
}

int32_t movie_decode_step(MoviePlayer *p) {
    p->busy = 1;
    // Unless a frame comes due by itself below, nothing changes until the main thread signals.
    p->wait_ms = MOVIE_WAIT_SIGNAL;
    const uint32_t now = sys_time_ms();
    const uint32_t state = p->state.load();
    const uint32_t mode = p->mode.load();
    if (state == MOVIE_STATE_STOPPED) return 0;
    if (state == MOVIE_STATE_PAUSED) {
        p->resync = 1;
        p->current_frame = p->last_frame + 1;
        return 0;
    }
    if (state == MOVIE_STATE_REWIND) {
        p->resync = 1;
        p->current_frame = 0;
        if (p->last_frame == 0) return 1;
        // Frame 0 waits until the frame on screen is done with, so the rewind is not lost.
        if (!can_hand_over(p)) return 1;
    } else if (mode == MOVIE_MODE_STEPPED) {
        if (p->last_frame == p->current_frame.load()) return 1;
        // Likewise the frame stepped to.
        if (!can_hand_over(p)) return 1;
    } else {
        if (p->resync) {
            p->start_time = now - ms_before(p->current_frame.load(), p->rate);
            p->resync = 0;
        }
        // Nothing new while the due frame is the one fetched last. (After a pause the current
        // frame is already the next one, so it is compared with the last, not the current.)
        const uint32_t frame = frame_due(now - p->start_time, p->rate, p->frame_count);
        if (frame == p->last_frame && frame < p->frame_count) {
            // At least a millisecond: the frame is not due yet, whatever the rounding says.
            const uint32_t wait = ms_to_next_frame(p, now);
            p->wait_ms = wait > 0 ? wait : 1;
            return 1;
        }
        p->current_frame = frame;
    }

    uint32_t current = p->current_frame.load();
    p->last_frame = current;
    if (current >= p->frame_count) {
        if (mode != MOVIE_MODE_LOOP) {
            // The last frame stays on screen; one dropped on the way is handed over late.
            const uint32_t last = p->frame_count - 1;
            p->current_frame = last;
            p->busy = 0;
            if (p->handed_frame != last && can_hand_over(p)) {
                if (const uint8_t *rows = mvl_fetch_frame(p->movie, last)) hand_over(p, rows, last);
            }
            return 0;
        }
        current = 0;
        p->current_frame = 0;
        p->last_frame = 0;
        p->start_time = now;
    }
    const bool timed = state != MOVIE_STATE_REWIND && mode != MOVIE_MODE_STEPPED;
    if (timed) p->wait_ms = ms_to_next_frame(p, now);
    // A frame that fails is not fetched again: the thread goes on to the next one.
    const uint8_t *rows = mvl_fetch_frame(p->movie, current);
    if (!rows) {
        p->busy = 0;
        return 0;
    }
    hand_over(p, rows, current);
    return 1;
}

int32_t movie_upload_frame(MoviePlayer *p) {
    uint32_t back;
    {
        std::lock_guard<std::mutex> guard(p->lock);
        if (!p->frame_pending) return 0;
        back = 1 - p->front;
    }
    // The decode thread leaves the pending rows alone until the flag is cleared.
    res_texture_write_rect(p->textures[back], 0, 0, p->width, p->height, p->pending, 3);
    std::lock_guard<std::mutex> guard(p->lock);
    p->front = back;
    p->frame_ready = 1;
    p->frame_pending = 0;
    return 1;
}

void movie_consume_frame(MoviePlayer *p) {
    bool wanted;
    {
        std::lock_guard<std::mutex> guard(p->lock);
        p->frame_ready = 0;
        // A decoder holding a frame back for the screen steps again now.
        wanted = p->wants_screen != 0;
        if (wanted) p->signalled = 1;
    }
    if (wanted) p->wake.notify_one();
}

uint32_t movie_next_pow2(uint32_t n) {
    if (n > 0x80000000u) return 0;
    uint32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}
