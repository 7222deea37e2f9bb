// Movie textures: four slots, each with an owner, a player and a decode thread, play the video
// stream of an AVI file into a pair of textures that a sprite shows through the front crop.
//
// Threads: a GL context is current on the main thread only. The decode thread decodes into CPU
// memory and never touches the pools, the texture layer or the device. Under the player's lock
// it hands a finished frame over as pending when neither frame ready nor pending is set, else it
// drops the frame. The main thread, in movie_update_all before drawing, uploads a pending frame
// into the texture that is not in front, flips front and sets frame ready; movie_consume_frames
// clears frame ready after drawing. The run flag, state and mode are written by the main thread
// only; the current frame by the main thread in stepped mode and by the decode step otherwise.
//
// Between steps the decode thread waits on the player's `wake` until its next frame is due, or
// without a time limit when no frame comes due by itself (paused, stepped, rewound, ended). The
// main thread signals it whenever it changes the slot (play, pause, rewind, mode, step, stop),
// and when it consumes a frame while the thread holds one back for the screen to be free.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "resource/res_pools.h"
#include "scene/owner_id.h"

struct MvlMovie;

enum : int32_t {
    MOVIE_SLOT_COUNT = 4,
    MOVIE_PATH_SIZE = 260,
};

enum : uint32_t {
    MOVIE_SLOT_IN_USE = 1u << 0,
    MOVIE_SLOT_THREAD = 1u << 1, // decode thread running

    MOVIE_STATE_STOPPED = 0,
    MOVIE_STATE_REWIND = 1,
    MOVIE_STATE_PAUSED = 2,
    MOVIE_STATE_PLAYING = 3,

    MOVIE_MODE_ONCE = 0, // any value but the two below plays once
    MOVIE_MODE_LOOP = 1,
    MOVIE_MODE_STEPPED = 2, // the caller moves the current frame

    MOVIE_WAIT_SIGNAL = 0xFFFFFFFFu, // wait for the main thread, however long
};

struct MoviePlayer {
    uint32_t reserved;
    uint32_t frame_ready;   // set on upload, cleared after drawing; guarded by the lock
    uint32_t frame_pending; // a decoded frame waits in `pending` for upload; guarded by the lock
    std::atomic<uint32_t>
        busy; // 1 while a step runs or a stream is open; 0 at the end or a failure
    std::atomic<uint32_t> state;
    std::atomic<uint32_t> mode;
    std::atomic<uint32_t> current_frame;
    uint32_t resync; // recompute the start time before the next timed step
    uint32_t last_frame;
    uint32_t handed_frame; // frame last handed over to the main thread
    uint32_t frame_count;  // 1 while no stream is open
    int32_t width, height;
    uint32_t texture_width, texture_height; // powers of two not below the frame size
    ResourceHandle textures[2];
    ResourceHandle crops[2];
    uint32_t front;      // the texture on screen; guarded by the lock
    double rate;         // frames per second
    uint32_t row_stride; // bytes of one packed row: width x 3
    MvlMovie *movie;
    uint8_t *pending;      // one frame of packed bottom-up BGR24 rows
    uint32_t start_time;   // millisecond time of frame 0
    uint32_t wait_ms;      // set by each decode step: how long the thread may wait before the next
    uint32_t signalled;    // the main thread changed something since the last wait; under the lock
    uint32_t wants_screen; // a frame waits for frame ready and pending to clear; under the lock
    std::mutex lock;
    std::condition_variable wake;
};

struct MovieSlot {
    uint32_t flags;
    OwnerId owner;
    MoviePlayer player;
    std::atomic<uint32_t> run; // the decode thread runs while this is 1
    std::thread thread;
    MovieSlot *previous, *next;
};

// Start-up, shutdown and the scene hooks.
void movie_init(void);
void movie_shutdown(void);
void movie_reset(void);       // scene reset: stop every movie, rebuild the lists
void movie_reset_slots(void); // end every decoder, then all four slots free in index order
int32_t movie_get_count(void);
void movie_stop_all(void);       // scene clear
void movie_update_all(void);     // per frame before drawing: upload pending frames
void movie_consume_frames(void); // per frame after drawing: clear frame ready
void movie_stop_owner(OwnerId owner);

// Slots. movie_play returns the slot, also when its movie does not start; null when all four are
// in use.
MovieSlot *movie_play(OwnerId owner, const char *name, uint32_t mode);
void movie_stop(MovieSlot *slot); // null and free slots are ignored
int32_t movie_start_thread(MovieSlot *slot, const char *name, uint32_t mode);
void movie_join_thread(MovieSlot *slot);
ResourceHandle movie_get_sprite(MovieSlot *slot); // crop of the front texture
void movie_play_on(MovieSlot *slot);
void movie_pause(MovieSlot *slot);
void movie_rewind(MovieSlot *slot);
// Stepped mode: the frame to show, 1 when it is below the frame count (else 0, nothing changes).
// Other modes answer 1 and change nothing.
int32_t movie_step_to(MovieSlot *slot, uint32_t frame);
uint32_t movie_get_mode(MovieSlot *slot);
void movie_set_mode(MovieSlot *slot, uint32_t mode);
uint32_t movie_get_frame_count(MovieSlot *slot);
MovieSlot *movie_slot_at(int32_t index);
// Decode threads that have not ended yet.
int32_t movie_live_decoders(void);

// Players. Open hands frame 0 over as the first pending frame.
int32_t movie_open_player(MoviePlayer *player, const char *path);
void movie_close_player(MoviePlayer *player);
// One step of the decode thread: 1 when it did work or has nothing new, 0 when it idles. Sets
// wait_ms: the milliseconds until the next frame is due, or MOVIE_WAIT_SIGNAL.
int32_t movie_decode_step(MoviePlayer *player);
// Main thread: uploads a pending frame into the back texture and flips; 1 when it did.
int32_t movie_upload_frame(MoviePlayer *player);
// Main thread after drawing: the shown frame is done with.
void movie_consume_frame(MoviePlayer *player);

// Smallest power of two >= n (1 for 0 and 1); 0 when none fits in 32 bits.
uint32_t movie_next_pow2(uint32_t n);
