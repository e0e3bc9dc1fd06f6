#include "app/EffectSaving.h"

#include "app/EditorState.h"
#include "effect/EffectFile.h"

bool SaveEffect(const char* name)
{
    return WriteEffectFile(name, settings);
}

bool LoadEffect(const char* name)
{
    return ReadEffectFile(name, settings) == EFFECT_OK;
}
