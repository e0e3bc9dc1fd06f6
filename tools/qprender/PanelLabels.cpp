#include "tools/qprender/PanelLabels.h"

#include <GL/gl.h>
#include <unistd.h>

#include <climits>

#include "platform/OffscreenLL.h"
#include "resources/QBitmapFont.h"
#include "resources/QBitmapFontLoader.h"

namespace {

const int margin = 6;  // pixels from a panel's left and top edges to its label

// The longest end of `text` that fits `room` pixels after "...", or the whole text.
std::string Fitted(const QBitmapFont& font, const std::string& text, uint32_t room)
{
    if (font.GetTextWidth(text.c_str()) <= room)
        return text;
    for (size_t cut = 1; cut < text.size(); ++cut) {
        const std::string shorter = "..." + text.substr(cut);
        if (font.GetTextWidth(shorter.c_str()) <= room)
            return shorter;
    }
    return "...";
}

// The folder this program lies in, from the kernel's link to it; "" when unknown.
std::string ProgramFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    const std::string program(path, size_t(length));
    return program.substr(0, program.rfind('/') + 1);
}

}  // namespace

void PanelLabels::Make(QBitmapFont& font, const std::string (&texts)[3], uint32_t width, uint32_t height)
{
    enum : uint8_t { CLEAR, SHADOW, TEXT };
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    std::vector<uint8_t> lit(size_t(width) * height * 4), mask(size_t(width) * height);
    const uint32_t room = width > 2 * margin ? width - 2 * margin : 0;
    marks.clear();
    for (uint32_t panel = 0; panel < 3; ++panel) {
        const std::string text = Fitted(font, texts[panel], room);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        const int baseline = int(height) - margin - int(font.GetMaxAscent(text.c_str()));
        font.DrawText(margin, baseline, text.c_str());
        readOffscreenLL(lit.data());
        for (size_t i = 0; i < mask.size(); ++i)
            mask[i] = lit[4 * i] > 127 ? TEXT : CLEAR;
        // The shadow falls one pixel right and one down (rows run bottom up).
        for (uint32_t y = 1; y < height; ++y)
            for (uint32_t x = 0; x + 1 < width; ++x)
                if (mask[size_t(y) * width + x] == TEXT && mask[size_t(y - 1) * width + x + 1] == CLEAR)
                    mask[size_t(y - 1) * width + x + 1] = SHADOW;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                if (const uint8_t kind = mask[size_t(y) * width + x])
                    marks.push_back({4 * ((size_t(y) * 3 + panel) * width + x), uint8_t(kind == TEXT ? 255 : 0)});
    }
}

void PanelLabels::Stamp(uint8_t* rgba) const
{
    for (const Mark& mark : marks) {
        uint8_t* pixel = rgba + mark.offset;
        pixel[0] = pixel[1] = pixel[2] = mark.value;
        pixel[3] = 255;
    }
}

QBitmapFont* LoadLabelFont(const std::string& path, std::string& tried)
{
    std::vector<std::string> candidates;
    if (!path.empty()) {
        candidates.push_back(path);
    } else {
        const std::string folder = ProgramFolder();
        candidates.push_back(folder + QPRENDER_DATA_FROM_BIN "/Font.QF");
        candidates.push_back(folder + QPRENDER_ASSETS_FROM_BIN "/Font.QF");
    }
    QBitmapFontLoader loader(256);
    tried.clear();
    for (const std::string& candidate : candidates) {
        if (QBitmapFont* font = loader.Load(candidate.c_str(), nullptr))
            return font;
        tried += (tried.empty() ? "" : " or ") + candidate;
    }
    return nullptr;
}
