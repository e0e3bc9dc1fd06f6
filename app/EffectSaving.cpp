#include "app/EffectSaving.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/EditorState.h"
#include "files/NameText.h"
#include "files/RegularFile.h"
#include "files/ReplaceFile.h"

namespace {

// What Save knows of the file at the save name.
struct SaveFileRecord {
    bool present;     // a file was there when the editor last loaded or saved it
    FileStamp stamp;  // that file
    bool keptOne;     // `kept` is a version a backup already holds
    FileStamp kept;
};
SaveFileRecord saveFile = {};

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
    std::vector<uint8_t> bytes;
    std::string reason;
    uint64_t size = 0;
    FileStamp stamp = {};
    bool read = ReadRegularFile(name, bytes, reason, EFFECT_FILE_CONE_SIZE, &size, &stamp);
    EffectFileResult loaded = read ? DecodeEffect(bytes.data(), bytes.size(), settings) : EFFECT_UNREADABLE;
    bool missing = !read && reason == std::strerror(ENOENT);
    // What the editor reads of a file is all of it only at exactly 65 or 81 bytes:
    // anything else has a field cut short or bytes after the record.
    bool partial = loaded == EFFECT_OK && size != EFFECT_FILE_SIZE && size != EFFECT_FILE_CONE_SIZE;
    saveFile = SaveFileRecord{read, stamp, false, {}};
    keepRefusedFile = partial || (loaded != EFFECT_OK && !missing);
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
    saveFile = SaveFileRecord{};
    saveFile.present = StampOf(name, saveFile.stamp);
    keepRefusedFile = false;
}

bool SaveEditedEffect()
{
    const char* name = saveFileName;
    bool saved = false;
    if (name) {
        FileStamp now = {};
        bool present = StampOf(name, now);
        bool changed = !saveFile.present || now != saveFile.stamp;
        bool alreadyKept = saveFile.keptOne && now == saveFile.kept;
        if (present && (keepRefusedFile || changed) && !alreadyKept) {
            unsigned char record[EFFECT_FILE_CONE_SIZE];
            size_t length = EncodeEffect(settings, record);
            std::string kept, problem;
            saved = ReplaceFileKeepingOld(name, record, length, kept, problem);
            if (!kept.empty()) {
                std::printf("Kept the earlier %s as %s\n", Shown(name).c_str(), Shown(kept.c_str()).c_str());
                saveFile.keptOne = true;
                saveFile.kept = now;
            }
        } else {
            saved = SaveEffect(name);
        }
    }
    if (saved) {
        keepRefusedFile = false;
        saveFile.present = StampOf(name, saveFile.stamp);
    } else {
        std::printf("Couldn't save effect %s\n", name ? Shown(name).c_str() : "(no name)");
    }
    std::fflush(stdout);
    return saved;
}

void ForgetSaveFile()
{
    saveFile = SaveFileRecord{};
}
