#include "app/EditorState.h"

#include <cstring>

#include "app/EffectSaving.h"

EmitterSettings settings = {};
MenuState menuState = MenuState::Hidden;
EditField editField = EditField::None;
char editBuffer[EDIT_BUFFER_SIZE] = {};
unsigned char editLength = 0;
float cameraDistance = 1.0f;
Vec3 rotationSpeed = {};
Vec3 rotationEntry = {};
QMatrix viewRotation;
QBitmapFont* activeFont = nullptr;
QParticleSystem* activeParticleSystem = nullptr;
const char* saveFileName = nullptr;
bool keepRefusedFile = false;

void ResetEditorState()
{
    menuState = MenuState::Hidden;
    editField = EditField::None;
    std::memset(editBuffer, 0, sizeof(editBuffer));
    editLength = 0;
    cameraDistance = 1.0f;
    rotationSpeed = Vec3{0.0f, 0.0f, 0.0f};
    rotationEntry = Vec3{0.0f, 0.0f, 0.0f};
    viewRotation.Identity();
    activeFont = nullptr;
    activeParticleSystem = nullptr;
    saveFileName = nullptr;
    keepRefusedFile = false;
    ForgetSaveFile();
}
