#include "app/app.h"
#include "app/app_hooks.h"
#include "app/input.h"
#include "app/param_log.h"
#include "app/scene_manager.h"
#include "app/timer.h"
#include "platform/sys/sys_time.h"
#include "tests/support/test_files.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <cctype>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string cwd_now() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

} // namespace

TEST(WorkingDirectory, ProgramFolderOrItsParent) {
    std::string saved = cwd_now();
    std::string root = test_temp_folder("wd");
    ASSERT_EQ(mkdir((root + "/a").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/a/prog").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/b").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/b/prog").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((root + "/b/prog/bin").c_str(), 0755), 0);

    app_set_exe_directory_from((root + "/a/prog/tavok").c_str());
    EXPECT_EQ(cwd_now(), root + "/a"); // no bin/ beside the program: its parent
    EXPECT_EQ(std::string(app_get_exe_directory()), root + "/a");

    app_set_exe_directory_from((root + "/b/prog/tavok").c_str());
    EXPECT_EQ(cwd_now(), root + "/b/prog");
    EXPECT_EQ(std::string(app_get_exe_directory()), root + "/b/prog");

    ASSERT_EQ(chdir("/"), 0);
    EXPECT_TRUE(app_restore_exe_directory());
    EXPECT_EQ(cwd_now(), root + "/b/prog");
    ASSERT_EQ(chdir(saved.c_str()), 0);
}

TEST(ParamLog, LineFormatAndNoFileWithoutName) {
    char line[128];
    paramlog_format_line(line, sizeof line, "12/06/26", "19:05:07", 1, 0xABC, 0xFFFFFFFF);
    EXPECT_STREQ(line, "12/06/26\t19:05:07\t00000001\t00000abc\tffffffff\n");

    std::string dir = test_temp_folder("plog");
    std::string path = dir + "/prm.log";
    paramlog_set_file(nullptr);
    paramlog_write(1, 2, 3);
    paramlog_set_file(path.c_str());
    paramlog_write(1, 0xABC, 0xFFFFFFFF);
    paramlog_write(0, 0, 0x10);
    paramlog_free();
    paramlog_write(5, 5, 5); // no name any more: nothing
    std::string text = test_read_file(path);
    // Two lines: "mm/dd/yy<TAB>hh:mm:ss<TAB>" and the three values.
    auto stamped = [](const std::string &line, const std::string &values) {
        const char *shape = "dd/dd/dd\tdd:dd:dd\t";
        if (line.size() != 18 + values.size()) return false;
        for (int i = 0; i < 18; ++i) {
            bool ok = shape[i] == 'd' ? isdigit((unsigned char)line[i]) != 0 : line[i] == shape[i];
            if (!ok) return false;
        }
        return line.compare(18, std::string::npos, values) == 0;
    };
    size_t cut = text.find('\n') + 1;
    EXPECT_TRUE(stamped(text.substr(0, cut), "00000001\t00000abc\tffffffff\n")) << text;
    EXPECT_TRUE(stamped(text.substr(cut), "00000000\t00000000\t00000010\n")) << text;
    EXPECT_GT(sys_total_phys_memory(), 0u);
    EXPECT_EQ(sys_query_stub(), 0u);
}

TEST(Window, AspectRule) {
    int32_t w = 0;
    EXPECT_FALSE(app_size_needs_fix(800, 600, 800, 600, &w));
    EXPECT_FALSE(app_size_needs_fix(805, 600, 800, 600, &w)); // 5 pixels: left alone
    EXPECT_FALSE(app_size_needs_fix(795, 600, 800, 600, &w));
    EXPECT_TRUE(app_size_needs_fix(806, 600, 800, 600, &w));
    EXPECT_EQ(w, 800);
    EXPECT_TRUE(app_size_needs_fix(1000, 900, 800, 600, &w));
    EXPECT_EQ(w, 1200);
    EXPECT_FALSE(app_size_needs_fix(1000, 750, 800, 600, &w));
    EXPECT_FALSE(app_size_needs_fix(0, 600, 800, 600, &w));
    EXPECT_FALSE(app_size_needs_fix(800, 600, 800, 0, &w));
}

// The whole program, run in a child process (this test binary started again in child mode),
// with the subsystem hooks standing in for the renderer and audio.
namespace {

std::string g_child_log;
int g_child_frames;
std::string g_child_mode;

void child_log(const std::string &s) {
    g_child_log += s + "\n";
}

struct ChildResult {
    int status = -1;
    std::string out, err;
};

ChildResult run_child(const std::string &mode, const std::string &dir) {
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ChildResult r;
    if (n <= 0) return r;
    self[n] = 0;
    std::string out = dir + "/child.out", err = dir + "/child.err";
    pid_t pid = fork();
    if (pid == 0) {
        int fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int fe = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fo, 1);
        dup2(fe, 2);
        setenv("TAVOK_CHILD_MODE", mode.c_str(), 1);
        setenv("TAVOK_CHILD_DIR", dir.c_str(), 1);
        execl(self, self, "--gtest_filter=ProgramChild.Run", (char *)nullptr);
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = test_read_file(out);
    r.err = test_read_file(err);
    return r;
}

std::string program_dir(const char *cf_text) {
    std::string dir = test_temp_folder("prog");
    mkdir((dir + "/prog").c_str(), 0755); // no bin/ beside it: the run folder is dir
    if (cf_text) {
        EXPECT_TRUE(test_write_file(dir + "/TK01.CF", cf_text));
    }
    return dir;
}

} // namespace

TEST(ProgramChild, Run) {
    const char *mode = getenv("TAVOK_CHILD_MODE");
    const char *dir = getenv("TAVOK_CHILD_DIR");
    if (!mode || !dir) GTEST_SKIP() << "runs only as the child of the program tests";
    g_child_mode = mode;
    static std::string module = std::string(dir) + "/prog/tavok";
    app_set_module_path_override(module.c_str());
    AppHooks *h = app_hooks();
    h->gfx_init = [](SDL_Window *win, int32_t, int32_t cw, int32_t ch, int32_t bpp,
                     const AppDisplayOptions *o) {
        child_log("window " + std::string(win ? "yes" : "no") + " client " + std::to_string(cw) +
                  "x" + std::to_string(ch) + " bpp " + std::to_string(bpp) + " options " +
                  std::to_string(o->render_width) + "x" + std::to_string(o->render_height));
        if (g_child_mode == "resize") {
            SDL_AddEventWatch(
                [](void *, SDL_Event *e) {
                    if (e->type == SDL_WINDOWEVENT &&
                        e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                        child_log("size " + std::to_string(e->window.data1) + "x" +
                                  std::to_string(e->window.data2));
                    return 0;
                },
                nullptr);
        }
        if (g_child_mode == "events") {
            for (int i = 0; i < 5; ++i) {
                SDL_Event e = {};
                e.type = SDL_USEREVENT;
                SDL_PushEvent(&e);
            }
        }
    };
    h->snd_get_error = [] {
        return (uint32_t)(g_child_mode == "fatal" && g_child_frames == 2 ? 258 : 0);
    };
    h->snd_update = [] {
        if (g_child_frames < 3) child_log("snd");
    };
    h->gfx_render_frame = [](int32_t) {
        ++g_child_frames;
        if (g_child_frames <= 3) child_log("gfx");
        if (g_child_frames == 1)
            child_log("pending " + std::to_string(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT,
                                                                 SDL_USEREVENT, SDL_LASTEVENT)));
        if (g_child_mode == "resize" && g_child_frames == 5) win_set_client_size(1000, 600);
        if (g_child_mode == "mouse") {
            // Events pushed in one frame are handled by the passes before the next frame.
            if (g_child_frames == 5) {
                SDL_Event e = {};
                e.type = SDL_MOUSEMOTION;
                e.motion.windowID = SDL_GetWindowID(win_sdl_window());
                e.motion.x = 400;
                e.motion.y = 150;
                SDL_PushEvent(&e);
                SDL_Event w = {};
                w.type = SDL_MOUSEWHEEL;
                w.wheel.windowID = e.motion.windowID;
                w.wheel.y = -2;
                SDL_PushEvent(&w);
            }
            if (g_child_frames >= 6 && g_child_frames <= 7) {
                int32_t x, y;
                mouse_get_backbuffer_pos(&x, &y);
                child_log("mouse " + std::to_string(x) + "," + std::to_string(y) + " wheel " +
                          std::to_string(mouse_wheel_delta()));
            }
        }

        if (g_child_frames == 90) {
            int w, hgt;
            win_get_client_size(&w, &hgt);
            child_log("final " + std::to_string(w) + "x" + std::to_string(hgt));
            if (g_child_mode == "close") {
                // What the window manager's close button sends.
                SDL_Event e = {};
                e.type = SDL_WINDOWEVENT;
                e.window.event = SDL_WINDOWEVENT_CLOSE;
                e.window.windowID = SDL_GetWindowID(win_sdl_window());
                SDL_PushEvent(&e);
            } else {
                win_post_quit();
            }
        }
    };
    h->gfx_shutdown = [] { child_log("gfx_shutdown"); };
    if (g_child_mode == "mouse") {
        // A 2D layout twice the client size.
        h->gfx_get_screen_width = [] { return (int32_t)1600; };
        h->gfx_get_screen_height = [] { return (int32_t)1200; };
    }
    app_scene_table()[0] = {[] { child_log("scene_init"); },
                            [] {
                                if (g_child_frames < 3) child_log("scene");
                                return 0u;
                            },
                            nullptr};
    uint32_t t0 = timer_get_ms();
    int status = app_win_main(0, nullptr);
    uint32_t elapsed = timer_elapsed_since_ms(t0);
    child_log("frames " + std::to_string(g_child_frames) + " ms " + std::to_string(elapsed));
    fputs(g_child_log.c_str(), stdout);
    fflush(stdout);
    _exit(status);
}

TEST(Program, OpensDefaultWindowRunsFramesInOrderAndEndsWithZero) {
    std::string dir = program_dir(nullptr);
    ChildResult r = run_child("close", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("window yes client 800x600 bpp 32 options 800x600"), std::string::npos)
        << r.out;
    // Frame 1 takes scene phases 0 and 1, init in frame 2, update from frame 3; each frame runs
    // the scene step, then audio, then the renderer.
    EXPECT_NE(r.out.find("snd\ngfx\npending 0\nscene_init\nsnd\ngfx\nscene\nsnd\ngfx\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("gfx_shutdown\nframes 90"), std::string::npos) << r.out;
}

TEST(Program, ClientSizeFromConfigurationFile) {
    std::string dir = program_dir("# size\nCLIENTW 640\nCLIENTH 480\nREGION J\n");
    ChildResult r = run_child("close", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("client 640x480 bpp 32 options 640x480"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("final 640x480"), std::string::npos) << r.out;
}

TEST(Program, OutOfRangeClientSizeFallsBackToDefault) {
    std::string dir = program_dir("CLIENTW -640\nCLIENTH 480\n");
    ChildResult r = run_child("quit", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("client 800x600 bpp 32 options 800x600"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
}

TEST(Program, FatalFaultEndsWithOneAndItsLine) {
    std::string dir = program_dir(nullptr);
    ChildResult r = run_child("fatal", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("fatal error: category 3, code 258, detail 0"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("gfx_shutdown"), std::string::npos); // no shutdown order
}

TEST(Program, WaitingMessagesDelayTheFrame) {
    std::string dir = program_dir(nullptr);
    ChildResult r = run_child("events", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("pending 0"), std::string::npos) << r.out;
}

TEST(Program, ResizedWindowKeepsTheBackBufferAspect) {
    std::string dir = program_dir(nullptr);
    ChildResult r = run_child("resize", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    // The window manager's resize to 1000x600 is answered by one back to 800x600.
    EXPECT_NE(r.out.find("size 1000x600\nsize 800x600\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("final 800x600"), std::string::npos) << r.out;
}

TEST(Program, MouseMessagesReachTheMouseRecord) {
    std::string dir = program_dir(nullptr);
    ChildResult r = run_child("mouse", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    // Client pixels scaled to the 2D layout; the wheel notch counts -240 for one frame.
    EXPECT_NE(r.out.find("mouse 800,300 wheel -240\nmouse 800,300 wheel 0\n"), std::string::npos)
        << r.out;
}
