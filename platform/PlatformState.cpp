// The platform layer's process-wide record, on its own so that code which only
// reads the keyboard block (the editor's keyboard reader and its tests) links it
// without the window and input code, and so without SDL or X11.
#include "platform/Platform.h"

PlatformState platformState;
