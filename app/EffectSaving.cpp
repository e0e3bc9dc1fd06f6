#include "app/EffectSaving.h"

#include "app/EditorState.h"
#include "effect/EffectFile.h"

bool SaveEffect(const char* name)
{
    return WriteEffectFile(name, settings);
}

bool LoadEffect(const char* name, EffectFileResult* result)
{
    const EffectFileResult loaded = ReadEffectFile(name, settings);
    if (result)
        *result = loaded;
    return loaded == EFFECT_OK;
}
