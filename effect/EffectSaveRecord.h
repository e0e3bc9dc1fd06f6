#pragma once
// Save's memory of an effect file, shared by every program that saves effects in
// place (the editor, qpedit-web): Save never destroys bytes it didn't write. A file
// that couldn't be used or was read only in part, or that changed on disk since it
// was loaded or saved, is kept as a backup (NAME.bak, or the first free NAME.bak.N)
// before it is replaced. Nothing here prints.

#include <cstdint>
#include <string>
#include <vector>

#include "effect/EffectFile.h"
#include "files/RegularFile.h"

// What Save knows of the file at the save name.
struct EffectSaveRecord {
    bool present;     // a file was there when it was last loaded or saved
    FileStamp stamp;  // that file
    bool keptOne;     // `kept` is a version a backup already holds
    FileStamp kept;
    bool keepFirst;  // the file couldn't be used or was read only in part: Save keeps it first
};

// Reads the effect file `name` (at most EFFECT_FILE_CONE_SIZE bytes, into `bytes`
// when given) and decodes it into `into` (changed only on EFFECT_OK); `record` then
// holds the file as found. EFFECT_UNREADABLE, with the reason in `problem`, when the
// file is missing or can't be read; `missing` tells the first apart.
EffectFileResult LoadEffectForSaving(const char* name, EmitterSettings& into, EffectSaveRecord& record,
                                     std::string& problem, bool& missing, std::vector<uint8_t>* bytes = nullptr);

// Save's reference for `name` is whatever is there now.
void NoteEffectFileNow(const char* name, EffectSaveRecord& record);

// Writes the record of `s` to `name`, first keeping the file there as a backup when
// the rules above ask for it; `kept` receives the backup's name ("" when none was
// made). False, with the reason in `problem`, when nothing was saved (a backup may
// still have been made). On success `record` holds the new file.
bool SaveEffectKeepingOld(const char* name, const EmitterSettings& s, EffectSaveRecord& record, std::string& kept,
                          std::string& problem);
