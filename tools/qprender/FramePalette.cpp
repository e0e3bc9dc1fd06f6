#include "tools/qprender/FramePalette.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

const uint32_t transparentKey = 0x1000000;  // above every 24-bit colour

uint32_t Channel(uint32_t colour, int c)
{
    return (colour >> (16 - 8 * c)) & 0xffu;
}

// Sorts (key, pixel) pairs by the 25-bit key, stably, in four byte-wise passes.
void SortByKey(std::vector<uint64_t>& items, std::vector<uint64_t>& scratch)
{
    scratch.resize(items.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::array<size_t, 257> start{};
        for (uint64_t item : items)
            ++start[((item >> shift) & 0xffu) + 1];
        bool single = false;
        for (size_t b = 1; b < 257; ++b) {
            single = single || start[b] == items.size();
            start[b] += start[b - 1];
        }
        if (single)
            continue;  // every key has the same byte here
        for (uint64_t item : items)
            scratch[start[(item >> shift) & 0xffu]++] = item;
        items.swap(scratch);
    }
}

struct Colour {
    uint32_t rgb;    // 0xRRGGBB
    uint32_t count;  // pixels of this colour
};

struct Box {
    size_t begin, end;  // range of the distinct colours
    double error;       // weighted squared distance of its colours from their mean
    int axis;           // channel of the widest weighted spread
};

Box MakeBox(const std::vector<Colour>& colours, size_t begin, size_t end)
{
    double n = 0, sum[3] = {0, 0, 0}, square[3] = {0, 0, 0};
    for (size_t i = begin; i < end; ++i) {
        const double w = colours[i].count;
        n += w;
        for (int c = 0; c < 3; ++c) {
            const double v = Channel(colours[i].rgb, c);
            sum[c] += w * v;
            square[c] += w * v * v;
        }
    }
    Box box = {begin, end, 0.0, 0};
    double widest = -1.0;
    for (int c = 0; c < 3; ++c) {
        const double spread = square[c] - sum[c] * sum[c] / n;
        box.error += spread;
        if (spread > widest) {
            widest = spread;
            box.axis = c;
        }
    }
    if (end - begin < 2)
        box.error = -1.0;  // can't be split
    return box;
}

// Splits the box at its weighted median along its axis; both halves keep at least
// one colour.
void Split(std::vector<Colour>& colours, const Box& box, Box& low, Box& high)
{
    const int axis = box.axis;
    std::sort(colours.begin() + box.begin, colours.begin() + box.end, [axis](const Colour& a, const Colour& b) {
        const uint32_t va = Channel(a.rgb, axis), vb = Channel(b.rgb, axis);
        return va != vb ? va < vb : a.rgb < b.rgb;
    });
    uint64_t total = 0;
    for (size_t i = box.begin; i < box.end; ++i)
        total += colours[i].count;
    uint64_t below = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i + 1 < box.end; ++i) {
        below += colours[i].count;
        cut = i + 1;
        if (2 * below >= total)
            break;
    }
    low = MakeBox(colours, box.begin, cut);
    high = MakeBox(colours, cut, box.end);
}

// Each pixel as (colour key << 32 | position), sorted so that equal colours are runs.
std::vector<uint64_t> SortedKeys(const uint8_t* pixels, size_t count, int components)
{
    std::vector<uint64_t> items(count), scratch;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = pixels + i * components;
        uint32_t key;
        if (components == 4 && p[3] == 0) {
            key = transparentKey;
        } else if (components == 4) {
            const uint32_t a = p[3];
            key = ((p[0] * a + 127) / 255) << 16 | ((p[1] * a + 127) / 255) << 8 | (p[2] * a + 127) / 255;
        } else {
            key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
        items[i] = uint64_t(key) << 32 | i;
    }
    SortByKey(items, scratch);
    return items;
}

// The distinct colours of the sorted keys with their pixel counts, in key order;
// `transparent` tells whether any pixel is transparent.
std::vector<Colour> DistinctColours(const std::vector<uint64_t>& items, bool& transparent)
{
    std::vector<Colour> colours;
    transparent = false;
    for (size_t i = 0; i < items.size();) {
        const uint32_t key = uint32_t(items[i] >> 32);
        size_t j = i;
        while (j < items.size() && uint32_t(items[j] >> 32) == key)
            ++j;
        if (key == transparentKey)
            transparent = true;
        else
            colours.push_back(Colour{key, uint32_t(j - i)});
        i = j;
    }
    return colours;
}

// Boxes of distinct colours, at most `slots`; each box becomes one palette entry.
std::vector<Box> CutBoxes(std::vector<Colour>& colours, size_t slots)
{
    std::vector<Box> boxes;
    if (colours.empty())
        return boxes;
    if (colours.size() <= slots) {
        for (size_t i = 0; i < colours.size(); ++i)
            boxes.push_back(Box{i, i + 1, -1.0, 0});
        return boxes;
    }
    boxes.push_back(MakeBox(colours, 0, colours.size()));
    while (boxes.size() < slots) {
        size_t worst = 0;
        for (size_t b = 1; b < boxes.size(); ++b)
            if (boxes[b].error > boxes[worst].error)
                worst = b;
        if (boxes[worst].error <= 0.0)
            break;
        Box low, high;
        Split(colours, boxes[worst], low, high);
        boxes[worst] = low;
        boxes.push_back(high);
    }
    return boxes;
}

// The palette (each box's weighted mean, then the transparent entry, or one black
// entry for a frame of nothing), and each distinct colour's entry, sorted by colour.
std::vector<std::pair<uint32_t, uint8_t>> MakePalette(const std::vector<Colour>& colours, const std::vector<Box>& boxes,
                                                      bool transparent, IndexedFrame& frame)
{
    frame.palette.clear();
    std::vector<std::pair<uint32_t, uint8_t>> entryOf;  // colour -> entry
    entryOf.reserve(colours.size());
    for (size_t b = 0; b < boxes.size(); ++b) {
        double n = 0, sum[3] = {0, 0, 0};
        for (size_t i = boxes[b].begin; i < boxes[b].end; ++i) {
            n += colours[i].count;
            for (int c = 0; c < 3; ++c)
                sum[c] += double(colours[i].count) * Channel(colours[i].rgb, c);
            entryOf.emplace_back(colours[i].rgb, uint8_t(b));
        }
        for (int c = 0; c < 3; ++c)
            frame.palette.push_back(uint8_t(std::min(255.0, sum[c] / n + 0.5)));
    }
    frame.transparentIndex = -1;
    if (transparent || boxes.empty()) {
        frame.transparentIndex = transparent ? int(boxes.size()) : -1;
        frame.palette.insert(frame.palette.end(), 3, 0);
    }
    std::sort(entryOf.begin(), entryOf.end());
    return entryOf;
}

}  // namespace

void QuantizeFrame(const uint8_t* pixels, uint32_t width, uint32_t height, int components, IndexedFrame& frame)
{
    const size_t count = size_t(width) * height;
    const std::vector<uint64_t> items = SortedKeys(pixels, count, components);
    bool transparent = false;
    std::vector<Colour> colours = DistinctColours(items, transparent);
    const std::vector<Box> boxes = CutBoxes(colours, transparent ? 255 : 256);
    const std::vector<std::pair<uint32_t, uint8_t>> entryOf = MakePalette(colours, boxes, transparent, frame);

    // The runs of equal colours, in key order, meet the sorted table in the same order.
    frame.indices.assign(count, 0);
    size_t next = 0;
    for (size_t i = 0; i < count;) {
        const uint32_t key = uint32_t(items[i] >> 32);
        uint8_t entry;
        if (key == transparentKey) {
            entry = uint8_t(frame.transparentIndex);
        } else {
            while (entryOf[next].first != key)
                ++next;
            entry = entryOf[next].second;
        }
        for (; i < count && uint32_t(items[i] >> 32) == key; ++i)
            frame.indices[uint32_t(items[i])] = entry;
    }
}
