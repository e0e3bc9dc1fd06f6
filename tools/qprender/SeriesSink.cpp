#include "tools/qprender/SeriesSink.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "files/NameText.h"

#include "tools/common/PngFile.h"
#include "tools/common/WholeFile.h"
#include "tools/qprender/FastPng.h"

SeriesSink::SeriesSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning)
    : PipelineSink(options, frameWidth, tuning.plainPng ? 0 : WorkerCount(tuning)),
      plainPng(tuning.plainPng)
{}

namespace {

// Makes `folder` and every missing folder above it (mode 0777 less the umask). A
// part that exists already is left as it is; if it is no folder, writing into it
// fails and says so. False with `error` naming the folder that couldn't be made.
bool MakeFolders(const std::string& folder, std::string& error)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            error = part + ": can't make the folder: " + strerror(errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

}  // namespace

bool SeriesSink::Encode(PipelineFrame& f, std::string& error)
{
    if (plainPng)
        return true;
    return EncodeFastPng(width, height, components, f.pixels.data(), f.encoded, error);
}

bool SeriesSink::Commit(PipelineFrame& f, std::string& error)
{
    std::string name;
    ExpandSeriesName(o.outputPath, f.index + 1, name);
    const size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos || slash == 0 ? "" : name.substr(0, slash);
    if (!folder.empty() && folder != madeFolder) {
        if (!MakeFolders(folder, error))
            return false;
        madeFolder = folder;
    }
    if (plainPng)
        return WritePng(name, width, height, components, f.pixels.data(), error);
    return WriteFileWhole(name, f.encoded, error);
}
