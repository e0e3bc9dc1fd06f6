#pragma once
// The editor's process-wide state: the settings being edited, the open menu, the
// value entry in progress, and the camera. Plain global data read and written
// only by the frame loop (keyboard reader, menus, value entry, on-screen text).
// The font and the particle system are owned by the entry point; the state only
// points at them.

#include "effect/EmitterSettings.h"
#include "math/QMatrix.h"
#include "math/Vec3.h"

class QBitmapFont;
class QParticleSystem;

// Which menu is shown and takes keys.
enum class MenuState : unsigned char {
    Hidden = 0,
    Main = 1,
    View = 2,
    Edit = 3,
};

// The value being typed; None when no entry is open. Groups run in id order:
// a colour's four components, the cone axis's three, the three turn speeds.
enum class EditField : unsigned char {
    None = 0,
    StartRed = 1,
    StartGreen = 2,
    StartBlue = 3,
    StartAlpha = 4,
    EndRed = 5,
    EndGreen = 6,
    EndBlue = 7,
    EndAlpha = 8,
    EmitRate = 9,
    Lifetime = 10,
    Size = 11,
    Velocity = 12,
    ConeDirX = 13,
    ConeDirY = 14,
    ConeDirZ = 15,
    ConeAngle = 16,
    RotationX = 17,
    RotationY = 18,
    RotationZ = 19,
};

// The highest EditField id: a table keyed by EditField has lastEditField + 1 rows.
constexpr EditField lastEditField = EditField::RotationZ;

enum { EDIT_BUFFER_SIZE = 11 };  // bytes of editBuffer
enum { EDIT_MAX_CHARS = 9 };     // characters value entry accepts; the rest of the buffer stays NUL

// The settings being edited, the one copy. All zero until start-up fills it (from
// the effect file or the defaults); a load that meets a short file keeps what was
// there before.
extern EmitterSettings settings;

extern MenuState menuState;                // open menu; Main when the window first shows
extern EditField editField;                // open value entry, or None
extern char editBuffer[EDIT_BUFFER_SIZE];  // text typed so far, NUL-terminated, zero after the text
extern unsigned char editLength;           // characters in editBuffer, 0..EDIT_MAX_CHARS
extern float cameraDistance;               // distance of the effect in front of the eye, 1.0..10.0 via the View menu
extern Vec3 rotationSpeed;                 // camera turn speeds about X, Y, Z, degrees per second
extern Vec3 rotationEntry;                 // typed turn speeds, copied to rotationSpeed after the Z speed
extern QMatrix viewRotation;               // accumulated camera turn, applied every frame
extern QBitmapFont* activeFont;            // the on-screen text's font; owned by the entry point
extern QParticleSystem* activeParticleSystem;  // the one live effect; owned by the entry point
extern const char* saveFileName;               // where Save writes: the effect file argument or "Out.QP"
extern bool keepRefusedFile;  // saveFileName holds a file start-up couldn't use or read whole: Save keeps it first

// Puts the state back as it is at program load: no menu, no entry, empty buffer,
// camera at 1.0 without turn, no font or system, no save name nor file to keep. `settings` and the
// keyboard reader are not touched. Lets tests and benchmarks start from a known state.
void ResetEditorState();
