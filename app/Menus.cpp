#include "app/Menus.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/EditorState.h"
#include "app/EffectSaving.h"
#include "app/KeyReader.h"
#include "app/ValueEntry.h"
#include "files/RegularFile.h"
#include "files/ReplaceFile.h"
#include "particles/QParticleSystem.h"

namespace {

const float zoomStep = 0.1f;  // world units per Zoom key
const float nearestCamera = 1.0f;
const float farthestCamera = 10.0f;

// Copies the file at `name`, which start-up refused to load, to NAME.bak before Save
// replaces it, and says so. False when it couldn't be kept (nothing is replaced then);
// true also when the file has gone since start-up, leaving nothing to keep.
bool KeepRefusedFile(const char* name)
{
    std::vector<uint8_t> bytes;
    std::string problem;
    struct stat info;
    if (!ReadRegularFile(name, bytes, problem))
        return stat(name, &info) != 0 && errno == ENOENT;
    std::string backup = std::string(name) + ".bak";
    if (!ReplaceFileWhole(backup.c_str(), bytes.data(), bytes.size(), problem))
        return false;
    std::printf("Kept the earlier %s as %s\n", name, backup.c_str());
    std::fflush(stdout);
    return true;
}

void Save()
{
    bool saved = saveFileName && (!keepRefusedFile || KeepRefusedFile(saveFileName)) && SaveEffect(saveFileName);
    if (saved) {
        keepRefusedFile = false;
    } else {
        std::printf("Couldn't save effect %s\n", saveFileName ? saveFileName : "(no name)");
        std::fflush(stdout);
    }
    menuState = MenuState::Hidden;
}

// The cone's axis and angle stay in settings while it is off, so turning it on
// again brings back the last ones.
void ToggleCone()
{
    if (settings.coneEnabled) {
        settings.coneEnabled = false;
        if (activeParticleSystem)
            activeParticleSystem->DisableCone();
    } else {
        settings.coneEnabled = true;
        if (activeParticleSystem)
            activeParticleSystem->SetCone(&settings.coneDirection, settings.coneAngle);
    }
}

bool MainKey(unsigned char key)
{
    switch (key) {
    case KEY_ESCAPE: menuState = MenuState::Hidden; break;
    case 'E': menuState = MenuState::Edit; break;
    case 'V': menuState = MenuState::View; break;
    case 'S': Save(); break;
    case 'Q': return false;
    }
    return true;
}

void ViewKey(unsigned char key)
{
    switch (key) {
    case KEY_ESCAPE: menuState = MenuState::Main; break;
    case 'I':
        // The bound is tested after the step, so rounding never leaves it a hair past.
        cameraDistance = cameraDistance - zoomStep;
        if (cameraDistance < nearestCamera)
            cameraDistance = nearestCamera;
        break;
    case 'O':
        cameraDistance = cameraDistance + zoomStep;
        if (cameraDistance > farthestCamera)
            cameraDistance = farthestCamera;
        break;
    case 'R': editField = EditField::RotationX; break;
    case 'C':
        rotationSpeed = Vec3{0.0f, 0.0f, 0.0f};
        viewRotation.Identity();
        break;
    }
}

void EditKey(unsigned char key)
{
    switch (key) {
    case KEY_ESCAPE: menuState = MenuState::Main; break;
    case 'Z': editField = EditField::StartRed; break;
    case 'X': editField = EditField::EndRed; break;
    case 'E': editField = EditField::EmitRate; break;
    case 'T': editField = EditField::Lifetime; break;
    case 'S': editField = EditField::Size; break;
    case 'V': editField = EditField::Velocity; break;
    case 'C': ToggleCone(); break;
    case 'D': editField = EditField::ConeDirX; break;
    case 'A': editField = EditField::ConeAngle; break;
    }
}

}  // namespace

bool HandleMenuKey()
{
    unsigned char key = ReadKey();
    if (key == 0)
        return true;
    // An open entry takes every key, Escape included: the menus see nothing meanwhile.
    if (editField != EditField::None) {
        EnterValueChar(key);
        return true;
    }
    switch (menuState) {
    case MenuState::Hidden:
        if (key == 'M')
            menuState = MenuState::Main;
        break;
    case MenuState::Main: return MainKey(key);
    case MenuState::View: ViewKey(key); break;
    case MenuState::Edit: EditKey(key); break;
    }
    return true;
}
