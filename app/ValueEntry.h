#pragma once
// Value entry: the small line editor through which every setting is typed. A menu
// opens it by setting editField; each key press then comes here until Enter on the
// last value of a group or Escape closes it. Stores into settings (or the staged
// turn speeds) and hands finished values to activeParticleSystem.

// Takes one character from the keyboard reader: a digit, '-' or '.' is appended
// (at most 9 characters), KEY_BACKSPACE deletes the last one, KEY_ENTER stores the
// number and moves on, KEY_ESCAPE cancels. Anything else is ignored.
void EnterValueChar(int character);
