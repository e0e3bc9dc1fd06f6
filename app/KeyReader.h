#pragma once
// The keyboard reader: turns the polled key states of the platform layer into key
// presses, at most one character per call, each held key reported once. Knows only
// the editor's keys (letters of the menus, digits, '.', '-', and the three control
// keys below); every other key counts as up. Reads platformState.keyboardState only.

// The control characters ReadKey gives, as the ASCII control codes of those keys.
enum : unsigned char {
    KEY_BACKSPACE = 8,  // Backspace or Delete
    KEY_ENTER = 13,     // Enter on the main keyboard or the numeric pad
    KEY_ESCAPE = 27,
};

// The character the top-priority down key gave at the previous call, or 0.
extern unsigned char lastKey;

// The character of a new key press, or 0 when no known key is down (lastKey becomes
// 0) or the top-priority down key is still the one reported before. Of several keys
// down only the highest in priority counts. Returns 0 while no keyboard block exists.
unsigned char ReadKey();
