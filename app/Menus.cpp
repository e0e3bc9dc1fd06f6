#include "app/Menus.h"

#include "app/EditorState.h"
#include "app/EffectSaving.h"
#include "app/KeyReader.h"
#include "app/ValueEntry.h"
#include "particles/QParticleSystem.h"

namespace {

const float zoomStep = 0.1f;  // world units per Zoom key
const float nearestCamera = 1.0f;
const float farthestCamera = 10.0f;

void Save()
{
    SaveEditedEffect();
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
