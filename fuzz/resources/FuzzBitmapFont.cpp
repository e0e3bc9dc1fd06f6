// Fuzzes the bitmap font loader over a loose file, with recorders in place of GL; every
// font made is measured, drawn and deleted, and every range of lists made is deleted.
#include <cstdlib>
#include <cstring>

#include "fuzz/resources/InputFile.h"
#include "fuzz/resources/RecordingGL.h"
#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    ResetGLRecord();
    QBitmapFontLoader loader(256);
    QBitmapFont* font = loader.Load(path, nullptr);
    if (font != nullptr) {
        char text[300];
        size_t n = size < sizeof(text) - 1 ? size : sizeof(text) - 1;
        memcpy(text, data, n);
        text[n] = '\0';
        font->GetTextWidth(text);
        font->GetTextHeight(text);
        font->DrawText(1, 2, text);
        font->Printf(1, 2, "%s%s", text, text);  // longer than the print buffer
        if (strlen(font->GetPrintBuffer()) >= font->GetPrintBufferSize()) {
            abort();
        }
        float at[3] = {0, 0, 0};
        font->DrawChar(at, static_cast<unsigned char>(n));
        delete font;
    }
    if (glRecord.listRangesMade != glRecord.listRangesDeleted) {
        abort();
    }
    return 0;
}
