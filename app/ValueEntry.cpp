#include "app/ValueEntry.h"

#include <cstdlib>
#include <cstring>

#include "app/EditorState.h"
#include "app/KeyReader.h"
#include "particles/QParticleSystem.h"

namespace {

const float largestConeAngle = 90.0f;  // degrees; wider would no longer be a cone

void ClearBuffer()
{
    std::memset(editBuffer, 0, sizeof(editBuffer));
    editLength = 0;
}

bool IsValueChar(int c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void PassColors()
{
    if (activeParticleSystem)
        activeParticleSystem->SetColors(&settings.startColor, &settings.endColor);
}

// A cone typed while emission is unconed is only stored; the toggle applies it.
void PassConeIfOn()
{
    if (settings.coneEnabled && activeParticleSystem)
        activeParticleSystem->SetCone(&settings.coneDirection, settings.coneAngle);
}

// Stores `value` where editField points and returns the field that follows it.
EditField Store(float value)
{
    QParticleSystem* system = activeParticleSystem;
    switch (editField) {
    case EditField::StartRed: settings.startColor.r = value; return EditField::StartGreen;
    case EditField::StartGreen: settings.startColor.g = value; return EditField::StartBlue;
    case EditField::StartBlue: settings.startColor.b = value; return EditField::StartAlpha;
    case EditField::StartAlpha:
        settings.startColor.a = value;
        PassColors();
        return EditField::None;
    case EditField::EndRed: settings.endColor.r = value; return EditField::EndGreen;
    case EditField::EndGreen: settings.endColor.g = value; return EditField::EndBlue;
    case EditField::EndBlue: settings.endColor.b = value; return EditField::EndAlpha;
    case EditField::EndAlpha:
        settings.endColor.a = value;
        PassColors();
        return EditField::None;
    // Nine typed characters stay well inside int, so the truncation is defined;
    // the particle system takes the same bits and counts a negative one as 0.
    case EditField::EmitRate:
        settings.emitRate = static_cast<int>(value);
        if (system)
            system->SetEmitRate(static_cast<unsigned>(settings.emitRate));
        return EditField::None;
    case EditField::Lifetime:
        settings.lifetime = static_cast<int>(value);
        if (system)
            system->SetLifetime(static_cast<unsigned>(settings.lifetime));
        return EditField::None;
    case EditField::Size:
        settings.size = value;
        if (system)
            system->SetSize(settings.size);
        return EditField::None;
    case EditField::Velocity:
        settings.velocity = value;
        if (system)
            system->SetVelocity(settings.velocity);
        return EditField::None;
    case EditField::ConeDirX: settings.coneDirection.x = value; return EditField::ConeDirY;
    case EditField::ConeDirY: settings.coneDirection.y = value; return EditField::ConeDirZ;
    case EditField::ConeDirZ:
        settings.coneDirection.z = value;
        PassConeIfOn();
        return EditField::None;
    case EditField::ConeAngle:
        if (value < 0.0f)
            value = 0.0f;
        if (value > largestConeAngle)
            value = largestConeAngle;
        settings.coneAngle = value;
        PassConeIfOn();
        return EditField::None;
    // The camera speeds change together, after the last one, so a cancelled entry
    // leaves the turn as it was.
    case EditField::RotationX: rotationEntry.x = value; return EditField::RotationY;
    case EditField::RotationY: rotationEntry.y = value; return EditField::RotationZ;
    case EditField::RotationZ:
        rotationEntry.z = value;
        rotationSpeed = rotationEntry;
        return EditField::None;
    case EditField::None: break;
    }
    return EditField::None;
}

}  // namespace

void EnterValueChar(int character)
{
    if (IsValueChar(character)) {
        if (editLength < EDIT_MAX_CHARS)
            editBuffer[editLength++] = static_cast<char>(character);
    } else if (character == KEY_BACKSPACE) {
        if (editLength > 0)
            editBuffer[--editLength] = 0;
    } else if (character == KEY_ENTER) {
        // atof stops at the first character that doesn't fit: "1.5.2" is 1.5, "-" is 0.
        float value = editLength > 0 ? static_cast<float>(std::atof(editBuffer)) : 0.0f;
        ClearBuffer();
        editField = Store(value);
    } else if (character == KEY_ESCAPE) {
        ClearBuffer();
        editField = EditField::None;
    }
}
