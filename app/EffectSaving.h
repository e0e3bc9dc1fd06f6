#pragma once
// The editor's Save and Load: the effect file read into and written from the
// editor's one `settings` record, through the effect library's file code.

// SaveEffect returns false when the file couldn't be written (the caller tells the
// user); LoadEffect returns true when the file was accepted and `settings` filled
// from it.
bool SaveEffect(const char* name);
bool LoadEffect(const char* name);
