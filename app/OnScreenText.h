#pragma once
// The text over the effect: the open menu at the top left and the open value
// entry's prompt with the typed text at the bottom left, printed with activeFont.
// Expects the overlay set up by the frame loop: a 300 x 300 orthographic space with
// (0, 0) at the bottom left, identity modelview, current colour white. Keeps no
// state and allocates nothing.

// Draws the menu of menuState, one line every 15 units down from y = 285 at x = 10;
// nothing for Hidden or without a font.
void DrawMenu();

// Draws "<prompt> <typed text>" at (10, 5) while an entry is open; nothing otherwise.
void DrawEditPrompt();
