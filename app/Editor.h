#pragma once
// EditorSession: the editor's run from start-up to shutdown. Owns, for the whole
// run, the texture, the font loader and the live effect (the particle manager and
// the one particle system), plus the font the loader returns and the two captured
// projections; the editor state points at the font and the system. Start opens the
// window through the platform layer; everything after it needs that window's GL
// context current.

#include <optional>

#include "effect/LiveEffect.h"
#include "particles/QParticleSystem.h"
#include "resources/QBitmapFontLoader.h"
#include "resources/QTexture.h"

// The editor window's title; whatever drives the editor through the window system finds
// its window by it.
inline constexpr char editorWindowTitle[] = "QParticleSystem - Editor 0.8 Beta";

// Picks the settings and the save name from the arguments: the effect file's
// settings when argv[2] loads, else the defaults; saveFileName is argv[2] when
// given (a file that failed to load is where Save will write), else "Out.QP".
// A named file that can't be used gets one line on standard error. Needs no window.
void ChooseSettings(int argc, char** argv);

class EditorSession {
public:
    EditorSession();
    ~EditorSession();  // deletes the font if still held, then the rest in reverse order of making
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // The whole start-up. Returns 0 when the frame loop may run, else the exit code
    // (1): a missing texture argument, a failed window, texture or font each stop
    // here, the first with a console line naming what failed; objects made so far
    // are destroyed, and the platform layer is not shut down.
    int Start(int argc, char** argv);

    // One frame: pump, one key, update, draw, present. False when the loop ends
    // (a quit message or Quit in the main menu).
    bool Frame();

    // Deletes the font while the context is current, then shuts the platform down.
    void Stop();

    // The pieces of Frame, for measuring them apart. Update advances the particles;
    // DrawEffect clears, turns the view by `seconds` and draws the particles;
    // DrawOverlay prints the menu and prompt.
    void Update(unsigned int milliseconds);
    void DrawEffect(float seconds);
    void DrawOverlay();

    QParticleSystem* System() { return effect ? &effect->system : nullptr; }

private:
    // Declared in making order, so that they are destroyed in the reverse.
    std::optional<QTexture> texture;
    std::optional<QBitmapFontLoader> fontLoader;
    std::optional<LiveEffect> effect;
    float frustumMatrix[16];    // perspective projection, captured once from GL
    float orthoMatrix[16];      // 300 x 300 overlay projection, (0, 0) at the bottom left
    unsigned int previousTime;  // timeLL at the previous frame, milliseconds
    bool windowOpen;            // setupLL succeeded and shutdownLL hasn't run
};

// The program: Start, frames until the loop ends, Stop. Returns the exit code.
int RunEditor(int argc, char** argv);
