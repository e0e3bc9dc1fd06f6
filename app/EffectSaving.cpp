#include "app/EffectSaving.h"

#include <cstdio>

#include "app/EditorState.h"
#include "effect/EffectSaveRecord.h"
#include "files/NameText.h"
#include "files/ReplaceFile.h"

namespace {

EffectSaveRecord saveFile = {};  // the file at the save name as last loaded or saved

std::string Shown(const char* name)
{
    return EscapedName(name);
}

}  // namespace

bool SaveEffect(const char* name)
{
    return WriteEffectFile(name, settings);
}

bool LoadEffect(const char* name, EffectFileResult* result, std::string* problem)
{
    std::string reason;
    bool missing = false;
    EffectFileResult loaded = LoadEffectForSaving(name, settings, saveFile, reason, missing);
    keepRefusedFile = saveFile.keepFirst;
    if (result)
        *result = loaded;
    if (problem)
        *problem = reason;
    return loaded == EFFECT_OK;
}

bool LoadEffectAtStart(const char* name)
{
    EffectFileResult loaded = EFFECT_UNREADABLE;
    std::string problem;
    if (LoadEffect(name, &loaded, &problem))
        return true;
    if (loaded != EFFECT_UNREADABLE) {
        std::string backup = FreeBackupName(name);
        std::fprintf(stderr, "%s isn't an effect file; Save will keep it as %s\n", Shown(name).c_str(),
                     Shown(backup.empty() ? (std::string(name) + ".bak").c_str() : backup.c_str()).c_str());
    } else if (!keepRefusedFile) {
        std::fprintf(stderr, "%s doesn't exist yet; Save will create it\n", Shown(name).c_str());
    } else {
        std::fprintf(stderr, "%s can't be read: %s\n", Shown(name).c_str(), problem.c_str());
    }
    return false;
}

void NoteSaveFile(const char* name)
{
    NoteEffectFileNow(name, saveFile);
    keepRefusedFile = false;
}

bool SaveEditedEffect()
{
    const char* name = saveFileName;
    bool saved = false;
    if (name) {
        std::string kept, problem;
        saveFile.keepFirst = keepRefusedFile;
        saved = SaveEffectKeepingOld(name, settings, saveFile, kept, problem);
        if (!kept.empty())
            std::printf("Kept the earlier %s as %s\n", Shown(name).c_str(), Shown(kept.c_str()).c_str());
    }
    if (saved) {
        keepRefusedFile = false;
    } else {
        std::printf("Couldn't save effect %s\n", name ? Shown(name).c_str() : "(no name)");
    }
    std::fflush(stdout);
    return saved;
}

void ForgetSaveFile()
{
    saveFile = EffectSaveRecord{};
}
