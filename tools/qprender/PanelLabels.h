#pragma once
// PanelLabels: the names over a comparison's three panels (the two effects and
// "difference"), drawn once with the project's bitmap font into the offscreen
// framebuffer and kept as the pixels they set, then stamped onto every composed frame: white
// text with a black shadow at each panel's top left. The pictures the comparison
// compares are never touched; only what is written carries the labels. Owns the
// pixels the labels set; no font or GL after Make.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class QBitmapFont;

class PanelLabels {
public:
    // Draws each of the three texts in turn into the framebuffer (one panel, width x
    // height, a current offscreen context) and keeps what it lit. A text wider than
    // the panel keeps its end, after "...". Changes GL state (projection, colour,
    // texturing, blending): make the labels before the editor's GL set-up.
    void Make(QBitmapFont& font, const std::string (&texts)[3], uint32_t width, uint32_t height);

    // Stamps the labels onto a frame of the three panels side by side (3 x width
    // wide, height high, RGBA, bottom row first). Nothing before Make.
    void Stamp(uint8_t* rgbaBottomUp) const;

private:
    // One pixel a label sets, in the composed frame.
    struct Mark {
        size_t offset;  // byte of the pixel's red in a 3-panel RGBA frame
        uint8_t value;  // 255 for the text, 0 for its shadow
    };
    std::vector<Mark> marks;  // every panel's, in no particular order
};

// The font for the labels: `path` when given; else Font.QF where an install puts it
// beside the programs (share/qpedit), then in the build's assets. Needs a current
// GL context. Null when none loads, with `tried` naming what was tried.
QBitmapFont* LoadLabelFont(const std::string& path, std::string& tried);
