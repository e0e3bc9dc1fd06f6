#pragma once
// A PNG sprite sheet: every capture placed in its cell as it comes, the sheet
// written whole at the end.

#include <memory>

#include "tools/qprender/OutputSink.h"
#include "tools/qprender/SheetImage.h"

class SheetSink : public OutputSink {
public:
    // Cells `frameWidth` x the options' height, `columns` to a row.
    SheetSink(const RenderOptions& options, uint32_t frameWidth, uint32_t columns);

    bool Begin(FILE* messages, std::string& error) override;
    bool Add(uint32_t index, const uint8_t* rgbaBottomUp) override;
    bool Settle(std::chrono::milliseconds) override { return true; }
    uint32_t Handled() const override { return added; }
    bool Finish(std::string& error) override;

private:
    const RenderOptions& o;
    uint32_t frameWidth;
    uint32_t columns;
    std::unique_ptr<SheetImage> sheet;  // made by Begin
    uint32_t added = 0;                 // captures placed so far
};
