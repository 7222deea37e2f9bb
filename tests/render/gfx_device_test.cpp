// Device start-up facts, presentation with device loss and reset, mode-change requests and the
// frame hand-shake.
#include <gtest/gtest.h>

#include <thread>

#include "app/semaphore.h"
#include "gfx_test_env.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"

namespace {

int s_lost_calls, s_reset_calls;
void count_lost(void) {
    ++s_lost_calls;
}
void count_reset(void) {
    ++s_reset_calls;
}

class GfxDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(gfx_test_device());
        DeviceState *ds = gfx_device_state();
        saved_lost = ds->lost_callback;
        saved_reset = ds->reset_callback;
        ds->lost_callback = count_lost;
        ds->reset_callback = count_reset;
        s_lost_calls = s_reset_calls = 0;
    }
    void TearDown() override {
        DeviceState *ds = gfx_device_state();
        ds->lost_callback = saved_lost;
        ds->reset_callback = saved_reset;
        ds->lost = 0;
        ds->mode_change_requested = 0;
        ds->width = TEST_WIDTH;
        ds->height = TEST_HEIGHT;
        ds->full_screen = 0;
    }
    GfxDeviceCallback saved_lost = nullptr, saved_reset = nullptr;
};

} // namespace

TEST_F(GfxDeviceTest, PresentResetsALostDeviceThroughTheCallbacks) {
    gfx_present();
    EXPECT_EQ(s_lost_calls, 0);
    gpu_debug_lose_device();
    gfx_present(); // present reports loss; the device can be reset at once
    EXPECT_EQ(s_lost_calls, 1);
    EXPECT_EQ(s_reset_calls, 1);
    EXPECT_EQ(gfx_is_device_lost(), 0u);
    gfx_present();
    EXPECT_EQ(s_lost_calls, 1);
    EXPECT_EQ(s_reset_calls, 1);
    // The back buffer came back at the client size and draws.
    gfx_test_reset_states();
    gfx_test_clear(0xFF123456);
    EXPECT_EQ(test_pixel(5, 5), 0xFF123456u);
}

TEST_F(GfxDeviceTest, LostFlagSkipsOneFrameAndDropsModeChanges) {
    DeviceState *ds = gfx_device_state();
    gpu_debug_lose_device(false); // present reports loss, then the device is back without a reset
    gfx_present();
    EXPECT_EQ(gfx_is_device_lost(), 1u);
    EXPECT_EQ(s_lost_calls, 0);
    EXPECT_EQ(s_reset_calls, 0);
    gfx_request_mode_change(200, 150, 0);
    EXPECT_EQ(ds->mode_change_requested, 0u);
    EXPECT_EQ(ds->width, TEST_WIDTH);
    gfx_present(); // a good present clears the flag
    EXPECT_EQ(gfx_is_device_lost(), 0u);
    EXPECT_EQ(s_reset_calls, 0);
    gfx_request_mode_change(200, 150, 0);
    EXPECT_EQ(ds->mode_change_requested, 1u);
    EXPECT_EQ(ds->width, 200);
    EXPECT_EQ(ds->height, 150);
}

TEST_F(GfxDeviceTest, ModeChangeKeepsUnsetValuesAndResetsAtTheNextPresent) {
    DeviceState *ds = gfx_device_state();
    gfx_request_mode_change(0, 0, -1);
    EXPECT_EQ(ds->mode_change_requested, 1u);
    EXPECT_EQ(ds->width, TEST_WIDTH);
    EXPECT_EQ(ds->height, TEST_HEIGHT);
    EXPECT_EQ(ds->full_screen, 0u);
    gfx_present();
    EXPECT_EQ(ds->mode_change_requested, 0u);
    EXPECT_EQ(s_lost_calls, 1);
    EXPECT_EQ(s_reset_calls, 1);
    EXPECT_EQ(ds->present.windowed, 1u);
    EXPECT_EQ(ds->present.back_buffer_width, 0u);
    gfx_request_mode_change_ext(-5, 90, 0);
    EXPECT_EQ(ds->width, TEST_WIDTH);
    EXPECT_EQ(ds->height, 90);
    EXPECT_EQ(gfx_get_full_screen(), 0u);
    EXPECT_EQ(gfx_get_full_screen_flag(), 0u);
}

TEST_F(GfxDeviceTest, ModeChangeMetByALostPresentWaitsForTheDevice) {
    DeviceState *ds = gfx_device_state();
    gfx_request_mode_change(0, 0, -1);
    gpu_debug_lose_device();
    gfx_present();
    EXPECT_EQ(ds->mode_change_requested, 0u); // consumed
    EXPECT_EQ(s_reset_calls, 0);              // no reset in that frame
    gfx_present(); // the cooperative-level test finds the device ready for a reset
    EXPECT_EQ(s_lost_calls, 1);
    EXPECT_EQ(s_reset_calls, 1);
    gfx_present();
    EXPECT_EQ(s_reset_calls, 1);
}

// Every drawn frame ends in a present; counting presents tells whether a frame was drawn.
static size_t presents_during(void (*fn)(void)) {
    gpu_trace_clear();
    gpu_trace_enable(true);
    fn();
    gpu_trace_enable(false);
    const size_t count = test_trace(GPU_TRACE_PRESENT).size();
    gpu_trace_clear();
    return count;
}

// The hand-shake counter, read under the frame lock like the device does.
static uint32_t requested_frames(void) {
    SharedSemaphore *lock = gfx_device_state()->frame_lock;
    msect_wait(lock, 0xFFFFFFFFu);
    const uint32_t n = gfx_device_state()->frames_requested;
    msect_release(lock, 1, nullptr);
    return n;
}

TEST_F(GfxDeviceTest, FrameHandShake) {
    // Threaded drawing off: the main thread draws the frame itself.
    EXPECT_EQ(presents_during([] { gfx_draw_frame_sync(nullptr, 0); }), 1u);
    // Skipping a frame draws and presents nothing.
    EXPECT_EQ(presents_during([] { gfx_skip_frame(nullptr, 0); }), 0u);

    // With the switch on, the drawing side serves one frame that another thread requests. The
    // drawing side runs here, on the thread that owns the device.
    gfx_set_threaded_render(1);
    EXPECT_EQ(presents_during([] {
                  std::thread requester([] { gfx_draw_frame_sync(nullptr, 0); });
                  gfx_render_thread_step(nullptr);
                  requester.join();
              }),
              1u);
    EXPECT_EQ(gfx_device_state()->frames_done, 1u);
    EXPECT_EQ(gfx_device_state()->frames_requested, 1u);
    // A request still waiting when the switch goes off returns without a frame.
    gfx_set_threaded_render(1);
    const uint32_t before = requested_frames();
    std::thread waiting([] { gfx_draw_frame_sync(nullptr, 0); });
    while (requested_frames() == before) std::this_thread::yield();
    gfx_set_threaded_render(0);
    waiting.join();
    EXPECT_EQ(gfx_device_state()->frames_done, 0u);
    EXPECT_EQ(presents_during([] { gfx_render_thread_step(nullptr); }), 0u); // off: returns
}

TEST_F(GfxDeviceTest, RecreationTakesAbsoluteSizes) {
    gfx_destroy_device();
    EXPECT_EQ(gfx_get_device(), nullptr);
    EXPECT_EQ(gfx_device_state()->ready, 0u);
    // Without a window every attempt fails: no device, and the frame lock is gone again.
    DeviceCreateParams p = {nullptr, -TEST_WIDTH, -TEST_HEIGHT, 32, 0, 0, nullptr, nullptr};
    EXPECT_FALSE(gfx_create_device(&p));
    EXPECT_EQ(gfx_get_device(), nullptr);
    EXPECT_EQ(gfx_device_state()->ready, 0u);
    EXPECT_EQ(gfx_device_state()->frame_lock, nullptr);
    p.window = gfx_display()->window;
    ASSERT_TRUE(gfx_create_device(&p));
    DeviceState *ds = gfx_device_state();
    EXPECT_EQ(ds->width, TEST_WIDTH);
    EXPECT_EQ(ds->height, TEST_HEIGHT);
    EXPECT_EQ(ds->lost_callback, gfx_on_device_lost); // null callbacks: the defaults
    EXPECT_EQ(ds->reset_callback, gfx_on_device_reset);
    saved_lost = ds->lost_callback;
    saved_reset = ds->reset_callback;
    // The default callbacks run a full loss and reset without harm.
    ds->lost_callback = gfx_on_device_lost;
    ds->reset_callback = gfx_on_device_reset;
    gpu_debug_lose_device();
    gfx_present();
    EXPECT_EQ(gfx_saved_back_buffer()->width, TEST_WIDTH);
}

TEST_F(GfxDeviceTest, AdapterBelowPixelShader2NeverGetsTheFirstDeviceKind) {
    gfx_destroy_device();
    DeviceState *ds = gfx_device_state();
    ds->window = gfx_display()->window;
    // With pixel shader 2.0 the first attempt is kind 0.
    ds->caps.pixel_shader_version = GFX_PS_VERSION_2_0;
    ASSERT_TRUE(gfx_open_device(TEST_WIDTH, TEST_HEIGHT, 0));
    const int32_t with_ps20 = ds->device_kind;
    gpu_destroy_device();
    // Below it the attempts start at kind 1.
    ds->caps.pixel_shader_version = 0xFFFF0104u;
    ASSERT_TRUE(gfx_open_device(TEST_WIDTH, TEST_HEIGHT, 0));
    EXPECT_GE(ds->device_kind, 1);
    EXPECT_EQ(ds->device_kind, with_ps20 == 0 ? 1 : with_ps20);
    gpu_destroy_device();

    DeviceCreateParams p = {
        gfx_display()->window, TEST_WIDTH, TEST_HEIGHT, 32, 0, 0, saved_lost, saved_reset};
    ASSERT_TRUE(gfx_create_device(&p));
}
