#pragma once
// The editor's Save and Load: the effect file read into and written from the
// editor's one `settings` record, through the effect library's file code.

#include "effect/EffectFile.h"

// SaveEffect returns false when the file couldn't be written (the caller tells the
// user); LoadEffect returns true when the file was accepted and `settings` filled
// from it. `result`, when given, receives why a file was refused (EFFECT_UNREADABLE for
// a missing one), so start-up can tell someone's other data from no file at all.
bool SaveEffect(const char* name);
bool LoadEffect(const char* name, EffectFileResult* result = nullptr);
