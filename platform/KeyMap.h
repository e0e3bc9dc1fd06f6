#pragma once
// Translation of the window system's key identities to KeyboardState indices
// (DIK_ codes). XKB key names and SDL scancodes both name a key by its place on
// the keyboard, so a key keeps its DIK_ index whatever the layout, as scan codes
// do. Pure tables: no SDL or X11 state is touched.

// `name` is an XKB key name of up to 4 characters (not terminated when it has 4),
// e.g. "AC01" for the key of A on a US layout. Returns 0 for keys without a DIK_ code.
unsigned char dikFromXkbName(const char* name);

// `scancode` is an SDL_Scancode value. Returns 0 for keys without a DIK_ code.
unsigned char dikFromSdlScancode(int scancode);
