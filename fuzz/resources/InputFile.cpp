#include "fuzz/resources/InputFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string scratchPath;

void RemoveScratch()
{
    unlink(scratchPath.c_str());
}
}  // namespace

const char* WriteInputFile(const uint8_t* data, size_t size)
{
    if (scratchPath.empty()) {
        const char* tmp = getenv("TMPDIR");
        scratchPath = std::string(tmp != nullptr ? tmp : "/tmp") + "/qpfuzz-" + std::to_string(getpid());
        atexit(RemoveScratch);
    }
    FILE* file = fopen(scratchPath.c_str(), "wb");
    if (file == nullptr || fwrite(data, 1, size, file) != size || fclose(file) != 0) {
        abort();
    }
    return scratchPath.c_str();
}
