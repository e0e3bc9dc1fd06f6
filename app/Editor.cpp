#include "app/Editor.h"

#include <cstdio>
#include <cstring>

#include <GL/gl.h>
#include <malloc.h>

#include "app/EditorState.h"
#include "app/EffectSaving.h"
#include "app/Menus.h"
#include "app/OnScreenText.h"
#include "effect/EffectView.h"
#include "files/NameText.h"
#include "files/TemporaryFile.h"
#include "platform/Platform.h"
#include "resources/QBitmapFont.h"
#include "resources/QTextureChain.h"

namespace {

const char fontName[] = "Font.QF";
const char defaultSaveName[] = "Out.QP";
const unsigned short fontScratchBytes = 256;
const float black[3] = {0.0f, 0.0f, 0.0f};  // the effect's background

}  // namespace

void ChooseSettings(int argc, char** argv)
{
    const char* effectName = argc > 2 ? argv[2] : nullptr;
    if (effectName && LoadEffectAtStart(effectName)) {
        saveFileName = effectName;
        return;
    }
    settings = DefaultEmitterSettings();
    saveFileName = effectName ? effectName : defaultSaveName;
    if (!effectName)
        NoteSaveFile(saveFileName);
}

EditorSession::EditorSession()
    : previousTime(0),
      windowOpen(false)
{}

EditorSession::~EditorSession()
{
    if (windowOpen)
        Stop();
    if (activeParticleSystem == System())
        activeParticleSystem = nullptr;
}

int EditorSession::Start(int argc, char** argv)
{
    if (argc < 2) {
        std::printf("Not enought arguments. Must at least specify texture.\n");
        return 1;
    }
    // GL's text drawing frees and takes back the same heap memory every frame; the C
    // library would hand it to the system and fault it in again each time. Freed
    // memory goes back only past 64 MiB at the top of the heap.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // setupLL has told the user why (a message box) and released what it made.
    if (setupLL(editorWindowTitle, LL_DOUBLEBUFFER, 0, 0, 640, 480) != 0)
        return 1;
    windowOpen = true;
    PrepareForFileWrites();  // after the window's own signal handlers, which it chains to

    texture.emplace(EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_SIDE, EFFECT_TEXTURE_COMPONENTS, EFFECT_TEXTURE_NAMES);
    if (!texture->Load(argv[1], nullptr)) {
        std::printf("Couldn't load texture %s\n", EscapedName(argv[1]).c_str());
        texture.reset();
        windowOpen = false;
        return 1;
    }
    const std::string brokenChain = BrokenMipmapChain(argv[1]);
    if (!brokenChain.empty())
        std::fprintf(stderr, "%s loads, but %s\n", EscapedName(argv[1]).c_str(), brokenChain.c_str());

    fontLoader.emplace(fontScratchBytes);
    activeFont = fontLoader->Load(fontName, nullptr);
    if (!activeFont) {
        std::printf("Couldn't load font %s!\n", fontName);
        fontLoader.reset();
        texture.reset();
        windowOpen = false;
        return 1;
    }

    view.SetUp();

    ChooseSettings(argc, argv);

    effect.emplace(settings, texture->GetID());
    activeParticleSystem = &effect->system;

    menuState = MenuState::Main;
    editField = EditField::None;
    editLength = 0;
    std::memset(editBuffer, 0, sizeof(editBuffer));

    previousTime = timeLL();
    return 0;
}

bool EditorSession::Frame()
{
    if (pumpLL(1) == QUIT_SEEN)
        return false;
    if (!HandleMenuKey())
        return false;

    // Unsigned difference: a wrap of the millisecond clock still gives the small
    // true step.
    unsigned int now = timeLL();
    unsigned int elapsed = now - previousTime;
    Update(elapsed);
    float seconds = static_cast<float>(static_cast<double>(elapsed) / 1000.0);
    previousTime = now;

    DrawEffect(seconds);
    DrawOverlay();
    swapBuffersLL();
    return true;
}

void EditorSession::Update(unsigned int milliseconds)
{
    effect->manager.UpdateAll(milliseconds);
}

void EditorSession::DrawEffect(float seconds)
{
    // The turn accumulates in viewRotation, so the view spins at the set speeds
    // whatever the frame rate.
    EffectView::Turn(viewRotation, rotationSpeed, seconds);
    view.Draw(effect->manager, viewRotation, cameraDistance, black);
}

void EditorSession::DrawOverlay()
{
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(view.Overlay());
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    DrawMenu();
    DrawEditPrompt();
}

void EditorSession::Stop()
{
    // The font's display lists go while the context is still current.
    delete activeFont;
    activeFont = nullptr;
    if (windowOpen) {
        shutdownLL();
        windowOpen = false;
    }
}

int RunEditor(int argc, char** argv)
{
    EditorSession session;
    int code = session.Start(argc, argv);
    if (code != 0)
        return code;
    while (session.Frame()) {}
    session.Stop();
    return 0;
}
