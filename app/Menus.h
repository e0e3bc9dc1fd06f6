#pragma once
// The editor's command layer: once per frame it takes at most one key press from
// the keyboard reader and either hands it to the open value entry or acts on it in
// the open menu (switch menus, zoom, stop the camera, toggle the cone, save, quit,
// open a value entry). Works on the editor state and activeParticleSystem.

// False when the user chose Quit in the main menu, true otherwise (also when no key
// came). A failed Save prints "Couldn't save effect <name>" and still closes the menu.
// When the save name holds a file start-up refused to load, the first Save keeps it as
// <name>.bak first and prints "Kept the earlier <name> as <name>.bak"; if it can't be
// kept, the file is not replaced and the Save fails.
bool HandleMenuKey();
