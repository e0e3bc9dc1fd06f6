#pragma once
// The editor's Save and Load: the effect file read into and written from the
// editor's one `settings` record, through the effect library's file code. Save never
// destroys bytes the editor didn't write: a file that start-up couldn't use or read
// only in part, or that changed on disk since it was loaded or saved, is kept as a
// backup (NAME.bak, or the first free NAME.bak.N) before it is replaced.

#include <string>

#include "effect/EffectFile.h"

// SaveEffect writes `settings` to `name` and returns false when the file couldn't be
// written (the caller tells the user). LoadEffect returns true when the file was
// accepted and `settings` filled from it; `result`, when given, receives why a file
// was refused (EFFECT_UNREADABLE for a missing or unreadable one) and `problem` the
// reason an unreadable one gave. Either way LoadEffect remembers the file as it found
// it for SaveEditedEffect, and whether Save must keep it first.
bool SaveEffect(const char* name);
bool LoadEffect(const char* name, EffectFileResult* result = nullptr, std::string* problem = nullptr);

// Start-up with the effect file `name`: LoadEffect, then one line on standard error
// when the file can't be used (not an effect file, missing, unreadable). True when
// `settings` holds the file's record.
bool LoadEffectAtStart(const char* name);

// Start-up without an effect file: Save's reference for `name` is whatever is there
// now, which Save replaces as long as nothing changes it meanwhile.
void NoteSaveFile(const char* name);

// The menu's Save of `settings` to saveFileName: keeps what would be lost first (and
// prints `Kept the earlier NAME as BACKUP`), then writes. False, after printing
// `Couldn't save effect NAME`, when nothing was saved; the editor goes on either way.
bool SaveEditedEffect();

// Forgets what LoadEffect and Save remembered of the file (program-load state).
void ForgetSaveFile();
