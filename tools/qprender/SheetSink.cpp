#include "tools/qprender/SheetSink.h"

#include "tools/common/PngFile.h"

SheetSink::SheetSink(const RenderOptions& options, uint32_t width, uint32_t columnCount)
    : o(options),
      frameWidth(width),
      columns(columnCount)
{}

bool SheetSink::Begin(FILE*, std::string&)
{
    sheet.reset(new SheetImage(uint32_t(o.times.size()), columns, frameWidth, o.height, o.background, o.transparent));
    return true;
}

bool SheetSink::Add(uint32_t index, const uint8_t* rgbaBottomUp)
{
    sheet->Place(index, rgbaBottomUp);
    added = index + 1;
    return true;
}

bool SheetSink::Finish(std::string& error)
{
    return WritePng(o.outputPath, sheet->Width(), sheet->Height(), sheet->Components(), sheet->Pixels().data(), error);
}
