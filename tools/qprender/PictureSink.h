#pragma once
// One PNG picture: the one capture, written whole at the end. It is a sprite sheet
// of one cell, so a picture and a sheet's cell are made alike.

#include "tools/qprender/SheetSink.h"

class PictureSink : public SheetSink {
public:
    PictureSink(const RenderOptions& options, uint32_t cellWidth)
        : SheetSink(options, cellWidth, 1)
    {}
};
