#include "platform/window/window.h"

#include <SDL2/SDL.h>
#include <cstring>

static SDL_Window *g_window;
static const uint8_t *g_key_override;

bool win_create(const char *title, int client_width, int client_height) {
    if (g_window) return true;
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (client_width <= 0) client_width = 1;
    if (client_height <= 0) client_height = 1;
    g_window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_UNDEFINED,
                                SDL_WINDOWPOS_UNDEFINED, client_width, client_height,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_SHOWN);
    return g_window != nullptr;
}

void win_destroy(void) {
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
}

SDL_Window *win_sdl_window(void) {
    return g_window;
}

void win_get_client_size(int *width, int *height) {
    int w = 0, h = 0;
    if (g_window) SDL_GetWindowSize(g_window, &w, &h);
    if (width) *width = w;
    if (height) *height = h;
}

void win_get_frame_metrics(int *frame, int *caption) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (g_window) SDL_GetWindowBordersSize(g_window, &top, &left, &bottom, &right);
    if (frame) *frame = left;
    if (caption) *caption = top > bottom ? top - bottom : 0;
}

void win_get_window_rect(WinRect *rect) {
    if (!rect) return;
    memset(rect, 0, sizeof *rect);
    if (!g_window) return;
    int x = 0, y = 0, w = 0, h = 0, top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowPosition(g_window, &x, &y);
    SDL_GetWindowSize(g_window, &w, &h);
    SDL_GetWindowBordersSize(g_window, &top, &left, &bottom, &right);
    rect->left = x - left;
    rect->top = y - top;
    rect->right = x + w + right;
    rect->bottom = y + h + bottom;
}

int win_get_screen_width(void) {
    SDL_Rect r;
    int display = g_window ? SDL_GetWindowDisplayIndex(g_window) : 0;
    if (display < 0 || SDL_GetDisplayUsableBounds(display, &r) != 0) return 0;
    return r.w;
}

void win_set_client_size(int width, int height) {
    if (g_window && width > 0 && height > 0) SDL_SetWindowSize(g_window, width, height);
}

void win_set_position(int x, int y) {
    if (g_window) SDL_SetWindowPosition(g_window, x, y);
}

// SDL has no disabled-window state; input goes to the one window regardless.
void win_enable(bool) {}

void win_show(void) {
    if (g_window) {
        SDL_RestoreWindow(g_window);
        SDL_ShowWindow(g_window);
    }
}

void win_set_cursor_visible(bool visible) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

uint8_t win_vk_from_sdl_key(int32_t k) {
    if (k >= 'a' && k <= 'z') return (uint8_t)(k - 'a' + 'A');
    if (k >= '0' && k <= '9') return (uint8_t)k;
    if (k >= SDLK_F1 && k <= SDLK_F12) return (uint8_t)(112 + (k - SDLK_F1));
    if (k >= SDLK_F13 && k <= SDLK_F24) return (uint8_t)(124 + (k - SDLK_F13));
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return (uint8_t)(97 + (k - SDLK_KP_1));
    switch (k) {
        case SDLK_BACKSPACE:
            return 8;
        case SDLK_TAB:
            return 9;
        case SDLK_RETURN:
            return 13;
        case SDLK_KP_ENTER:
            return 13;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return 27;
        case SDLK_SPACE:
            return 32;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return 37;
        case SDLK_UP:
            return 38;
        case SDLK_RIGHT:
            return 39;
        case SDLK_DOWN:
            return 40;
        case SDLK_PRINTSCREEN:
            return 44;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_LGUI:
            return 91;
        case SDLK_RGUI:
            return 92;
        case SDLK_APPLICATION:
            return 93;
        case SDLK_KP_0:
            return 96;
        case SDLK_KP_MULTIPLY:
            return 106;
        case SDLK_KP_PLUS:
            return 107;
        case SDLK_KP_MINUS:
            return 109;
        case SDLK_KP_PERIOD:
            return 110;
        case SDLK_KP_DIVIDE:
            return 111;
        case SDLK_NUMLOCKCLEAR:
            return 144;
        case SDLK_SCROLLLOCK:
            return 145;
        case SDLK_LSHIFT:
            return 160;
        case SDLK_RSHIFT:
            return 161;
        case SDLK_LCTRL:
            return 162;
        case SDLK_RCTRL:
            return 163;
        case SDLK_LALT:
            return 164;
        case SDLK_RALT:
            return 165;
        case SDLK_SEMICOLON:
            return 186;
        case SDLK_EQUALS:
            return 187;
        case SDLK_COMMA:
            return 188;
        case SDLK_MINUS:
            return 189;
        case SDLK_PERIOD:
            return 190;
        case SDLK_SLASH:
            return 191;
        case SDLK_BACKQUOTE:
            return 192;
        case SDLK_LEFTBRACKET:
            return 219;
        case SDLK_BACKSLASH:
            return 220;
        case SDLK_RIGHTBRACKET:
            return 221;
        case SDLK_QUOTE:
            return 222;
        default:
            return 0;
    }
}

void win_set_keyboard_override(const uint8_t *keys) {
    g_key_override = keys;
}

void win_get_keyboard_state(uint8_t keys[256]) {
    if (g_key_override) {
        memcpy(keys, g_key_override, 256);
        return;
    }
    memset(keys, 0, 256);
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    int count = 0;
    const Uint8 *state = SDL_GetKeyboardState(&count);
    for (int sc = 0; sc < count; ++sc) {
        if (!state[sc]) continue;
        uint8_t vk = win_vk_from_sdl_key(SDL_GetKeyFromScancode((SDL_Scancode)sc));
        if (vk) keys[vk] = 0x80;
    }
    // The side-neutral modifier codes follow either side.
    if (keys[160] | keys[161]) keys[16] = 0x80;
    if (keys[162] | keys[163]) keys[17] = 0x80;
    if (keys[164] | keys[165]) keys[18] = 0x80;
}

void win_get_async_keyboard_state(uint8_t keys[256]) {
    if (!g_key_override && SDL_WasInit(SDL_INIT_VIDEO)) SDL_PumpEvents();
    win_get_keyboard_state(keys);
}

bool win_peek_event(WinEvent *out) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return false;
    SDL_Event e;
    if (!SDL_PollEvent(&e)) return false;
    WinEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = WIN_EVENT_OTHER;
    switch (e.type) {
        case SDL_QUIT:
            ev.type = WIN_EVENT_QUIT;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                ev.type = WIN_EVENT_QUIT;
            } else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                ev.type = WIN_EVENT_SIZE;
                ev.width = e.window.data1;
                ev.height = e.window.data2;
                ev.maximized = g_window && (SDL_GetWindowFlags(g_window) & SDL_WINDOW_MAXIMIZED);
            }
            break;
        case SDL_MOUSEMOTION:
            ev.type = WIN_EVENT_MOUSE_MOVE;
            ev.x = e.motion.x;
            ev.y = e.motion.y;
            break;
        case SDL_MOUSEWHEEL: {
            int y = e.wheel.y;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
            ev.type = WIN_EVENT_MOUSE_WHEEL;
            ev.wheel = y * 120;
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            ev.type = WIN_EVENT_KEY;
            ev.key = win_vk_from_sdl_key(e.key.keysym.sym);
            ev.down = e.type == SDL_KEYDOWN;
            break;
        default:
            break;
    }
    if (out) *out = ev;
    return true;
}

void win_post_quit(void) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) SDL_InitSubSystem(SDL_INIT_EVENTS);
    SDL_Event e;
    memset(&e, 0, sizeof e);
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
}

// Joystick, polled by hand.
static SDL_Joystick *g_joystick;

void win_joystick_close(void) {
    if (g_joystick) SDL_JoystickClose(g_joystick);
    g_joystick = nullptr;
}

bool win_joystick_open_first(void) {
    if (g_joystick && SDL_JoystickGetAttached(g_joystick)) return true;
    win_joystick_close(); // a detached one is dropped
    if (!SDL_WasInit(SDL_INIT_JOYSTICK) && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    SDL_JoystickEventState(SDL_IGNORE);
    SDL_JoystickUpdate();
    int n = SDL_NumJoysticks();
    for (int i = 0; i < n && !g_joystick; ++i) g_joystick = SDL_JoystickOpen(i);
    return g_joystick != nullptr;
}

// -32768..32767 onto lo..hi, the ends exactly.
static int32_t scale_axis(int v, int32_t lo, int32_t hi) {
    return lo + (int32_t)(((int64_t)v + 32768) * (hi - lo) / 65535);
}

static uint32_t hat_to_pov(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP:
            return 0;
        case SDL_HAT_RIGHTUP:
            return 4500;
        case SDL_HAT_RIGHT:
            return 9000;
        case SDL_HAT_RIGHTDOWN:
            return 13500;
        case SDL_HAT_DOWN:
            return 18000;
        case SDL_HAT_LEFTDOWN:
            return 22500;
        case SDL_HAT_LEFT:
            return 27000;
        case SDL_HAT_LEFTUP:
            return 31500;
        default:
            return 0xFFFFFFFFu;
    }
}

bool win_joystick_poll(WinJoystickState *out) {
    if (!g_joystick || !out) return false;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(g_joystick)) return false;
    WinJoystickState s;
    memset(&s, 0, sizeof s);
    int axes = SDL_JoystickNumAxes(g_joystick);
    int32_t *fields[8] = {&s.x, &s.y, &s.z, &s.rx, &s.ry, &s.rz, &s.slider[0], &s.slider[1]};
    for (int i = 0; i < 8; ++i) {
        int v = i < axes ? SDL_JoystickGetAxis(g_joystick, i) : 0;
        *fields[i] = i < 2 ? scale_axis(v, -1000, 1000) : scale_axis(v, 0, 65535);
    }
    int hats = SDL_JoystickNumHats(g_joystick);
    for (int i = 0; i < 4; ++i)
        s.pov[i] = i < hats ? hat_to_pov(SDL_JoystickGetHat(g_joystick, i)) : 0xFFFFFFFFu;
    int buttons = SDL_JoystickNumButtons(g_joystick);
    for (int i = 0; i < 32 && i < buttons; ++i)
        s.buttons[i] = SDL_JoystickGetButton(g_joystick, i) ? 0x80 : 0;
    *out = s;
    return true;
}

void win_message_box(const char *caption, const char *text) {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption ? caption : "", text ? text : "",
                             g_window);
}
