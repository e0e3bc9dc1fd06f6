// Fuzzes the archive reader: the input is an archive; a few names are looked up and each
// found entry is read through a mix of reads and seeks, checking the stream's own
// promises along the way.
#include <cstdlib>
#include <vector>

#include "fuzz/resources/InputFile.h"
#include "resources/QPackFile.h"

namespace {
void Check(bool promise)
{
    if (!promise) {
        abort();
    }
}

void Exercise(QPackFile& pack, const uint8_t* data, size_t size)
{
    uint32_t length = pack.GetSize();
    Check(length <= size);
    std::vector<uint8_t> buffer(70000);
    // Steer chunk sizes and seeks with the input's own bytes.
    for (size_t i = 0; i < 64 && !pack.AtEnd(); ++i) {
        uint8_t steer = size != 0 ? data[(i * 7) % size] : 0;
        int32_t count = steer & 0x80 ? 65537 : int32_t(steer) - 8;
        uint32_t before = pack.Tell();
        uint32_t got = pack.Read(buffer.data(), count);
        Check(count > 0 || got == 0);
        Check(got <= uint32_t(count > 0 ? count : 0) && before + got <= length);
        Check(pack.Tell() == before + got);
        if ((steer & 0x0f) == 3) {
            bool moved = pack.Seek(int32_t(steer) - 200, FromEnd);
            Check(!moved || pack.Tell() < length);
        } else if ((steer & 0x0f) == 5) {
            Check(pack.Seek(0, FromStart) == (length != 0));
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = WriteInputFile(data, size);
    QPackFile pack(path);
    for (const char* name : {"a", "b", "Font.QF", "Particle.qtex", ""}) {
        if (pack.OpenEntry(name)) {
            Exercise(pack, data, size);
        }
    }
    return 0;
}
