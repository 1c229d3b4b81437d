// SDL's window and keyboard events, turned into the layer's events (and so into messages).
#include <SDL.h>

#include "platform/linux/headless.h"
#include "platform/linux/layer_state.h"

namespace platform::detail {
namespace {

// The virtual-key code of an SDL key: letters and digits as their upper-case ASCII codes, and the
// three keys the shell reads; 0 (no message) for every other key.
WPARAM VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return WPARAM('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return WPARAM('0' + (key - SDLK_0));
    switch (key) {
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    default:
        return 0;
    }
}

void Translate(const SDL_Event& sdl) {
    Event e;
    switch (sdl.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const WindowRecord* w = FindRecordBySdlId(sdl.key.windowID);
        if (w == nullptr) return;
        e.kind = sdl.type == SDL_KEYDOWN ? EventKind::KeyDown : EventKind::KeyUp;
        e.window = HandleOf(*w);
        e.vk = VirtualKey(sdl.key.keysym.sym);
        e.repeat = sdl.key.repeat != 0;
        QueueEvent(e);
        return;
    }
    case SDL_WINDOWEVENT: {
        const WindowRecord* w = FindRecordBySdlId(sdl.window.windowID);
        if (w == nullptr) return;
        e.window = HandleOf(*w);
        switch (sdl.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            e.kind = EventKind::FocusGained;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            e.kind = EventKind::FocusLost;
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            e.kind = EventKind::Minimised;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            e.kind = EventKind::Restored;
            break;
        case SDL_WINDOWEVENT_MOVED:
            e.kind = EventKind::Moved;
            e.x = sdl.window.data1;
            e.y = sdl.window.data2;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            e.kind = EventKind::CloseRequest;
            break;
        default:
            return;
        }
        QueueEvent(e);
        return;
    }
    case SDL_QUIT: {
        // A quit request from outside (a signal, the session ending) closes every window.
        e.kind = EventKind::CloseRequest;
        for (const WindowRecord& w : State().windows) {
            e.window = HandleOf(w);
            QueueEvent(e);
        }
        return;
    }
    default:
        return;
    }
}

} // namespace

void PumpSdlEvents() {
    SDL_PumpEvents();
    SDL_Event batch[64];
    for (;;) {
        const int n = SDL_PeepEvents(batch, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i)
            Translate(batch[i]);
    }
}

} // namespace platform::detail
