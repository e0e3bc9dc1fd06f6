// Fuzzes the texture loader over a loose file, with recorders in place of GL; checks that
// the unpack alignment is put back and that texture names are accounted for.
#include <cstdlib>

#include "fuzz/resources/InputFile.h"
#include "fuzz/resources/RecordingGL.h"
#include "resources/QTexture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    ResetGLRecord();
    glRecord.unpackAlignment = 8;
    {
        QTexture texture(128, 128, 3, 8);
        bool loaded = texture.Load(path, nullptr);
        if (loaded && texture.GetID() == 0) {
            abort();
        }
        if (glRecord.unpackAlignment != 8) {
            abort();
        }
        texture.Load(path, nullptr);  // a second load reuses the grown buffer
    }
    // The pool's names: two handed out (or fewer when a load stopped early), the rest deleted.
    if (glRecord.texturesDeleted > glRecord.texturesMade || glRecord.texturesMade - glRecord.texturesDeleted > 2) {
        abort();
    }
    return 0;
}
