#pragma once
// What the platform layer's own files share and callers never see: the test
// seam that forces a setupLL failure, and the pump's hand-off of mouse events.

union SDL_Event;

// True when failSetupLL(failure) is in force.
bool setupFailureForced(int failure);

// Offers one event to the mouse device (kept only when the window has the focus).
void collectMouseEventLL(const SDL_Event& event);
