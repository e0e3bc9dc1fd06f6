#pragma once
// A numbered PNG series: frames encoded in parallel, each file written whole, in
// order, as soon as its frame is committed; the files already written stay when a
// later one fails. A missing folder of a file is made first (parents too, mode
// 0777 less the umask), so `-o out/f%03d.png` works in a fresh place.

#include "tools/qprender/PipelineSink.h"

class SeriesSink : public PipelineSink {
public:
    SeriesSink(const RenderOptions& options, uint32_t frameWidth, const RenderTuning& tuning);

protected:
    bool Encode(PipelineFrame& frame, std::string& error) override;
    bool Commit(PipelineFrame& frame, std::string& error) override;

private:
    bool plainPng;  // the one-thread libpng writer instead of the parallel fast encoder
    std::string
        madeFolder;  // the folder of the last file committed, known to exist  // the one-thread libpng writer instead of the parallel fast encoder
};
