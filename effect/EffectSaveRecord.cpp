#include "effect/EffectSaveRecord.h"

#include <cerrno>
#include <cstring>

#include "files/ReplaceFile.h"

EffectFileResult LoadEffectForSaving(const char* name, EmitterSettings& into, EffectSaveRecord& record,
                                     std::string& problem, bool& missing, std::vector<uint8_t>* bytes)
{
    std::vector<uint8_t> read;
    uint64_t size = 0;
    FileStamp stamp = {};
    bool found = ReadRegularFile(name, read, problem, EFFECT_FILE_CONE_SIZE, &size, &stamp);
    EffectFileResult loaded = found ? DecodeEffect(read.data(), read.size(), into) : EFFECT_UNREADABLE;
    missing = !found && problem == std::strerror(ENOENT);
    // What is read of a file is all of it only at exactly 65 or 81 bytes: anything
    // else has a field cut short or bytes after the record.
    bool partial = loaded == EFFECT_OK && size != EFFECT_FILE_SIZE && size != EFFECT_FILE_CONE_SIZE;
    record = EffectSaveRecord{found, stamp, false, {}, partial || (loaded != EFFECT_OK && !missing)};
    if (bytes)
        *bytes = std::move(read);
    return loaded;
}

void NoteEffectFileNow(const char* name, EffectSaveRecord& record)
{
    record = EffectSaveRecord{};
    record.present = StampOf(name, record.stamp);
}

bool SaveEffectKeepingOld(const char* name, const EmitterSettings& s, EffectSaveRecord& record, std::string& kept,
                          std::string& problem)
{
    FileStamp now = {};
    bool present = StampOf(name, now);
    bool changed = !record.present || now != record.stamp;
    bool alreadyKept = record.keptOne && now == record.kept;
    bool saved = false;
    kept.clear();
    if (present && (record.keepFirst || changed) && !alreadyKept) {
        unsigned char bytes[EFFECT_FILE_CONE_SIZE];
        size_t length = EncodeEffect(s, bytes);
        saved = ReplaceFileKeepingOld(name, bytes, length, kept, problem);
        if (!kept.empty()) {
            record.keptOne = true;
            record.kept = now;
        }
    } else {
        saved = WriteEffectFile(name, s, problem);
    }
    if (saved) {
        record.keepFirst = false;
        record.present = StampOf(name, record.stamp);
    }
    return saved;
}
