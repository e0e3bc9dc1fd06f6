// The texture loader against real GL: every level read back with glGetTexImage, the
// staging buffer, names, and every kind of bad resource.
#include <gtest/gtest.h>

#include "resources/QPackFile.h"
#include "resources/QTexture.h"
#include "tests/resources/GlTest.h"
#include "tests/support/TestFiles.h"

namespace {
struct Level {
    uint32_t width, height;
    Bytes pixels;
};

Bytes MakeTexture(int components, const std::vector<Level>& levels, uint32_t version = 0x0100)
{
    Bytes bytes = {'Q', 'T', 'E', 'X'};
    AppendLE32(bytes, version | uint32_t(components) << 16 | uint32_t(levels.size()) << 24);
    for (const Level& level : levels) {
        AppendLE32(bytes, level.width | level.height << 16);
        bytes.insert(bytes.end(), level.pixels.begin(), level.pixels.end());
    }
    return bytes;
}

// A full chain down to 1 x 1 with distinct pixels in every level.
std::vector<Level> Chain(uint32_t width, uint32_t height, int components)
{
    std::vector<Level> levels;
    for (uint32_t w = width, h = height;; w = std::max(w / 2, 1u), h = std::max(h / 2, 1u)) {
        levels.push_back({w, h, Pattern(size_t(w) * h * components, uint32_t(levels.size()))});
        if (w * h == 1)
            return levels;
    }
}

GLint Get(GLenum name, int level = -1)  // GL state, or a parameter of the bound texture's level
{
    GLint value = 0;
    level < 0 ? glGetIntegerv(name, &value) : glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}
}  // namespace

TEST(QTexture, EveryLevelReadsBackAsStored)
{
    WorkInScratchFolder here;
    // RGB levels 2 and 1 pixels wide over several rows are not 4-byte multiples: they only
    // arrive intact when uploaded at an alignment of 1. A later level larger than the base
    // is measured and grows the staging buffer like the base.
    struct Case {
        int components;
        std::vector<Level> levels;
        uint32_t bufferBytes;
    };
    const Case cases[] = {{3, {{1, 1, {9, 8, 7}}, {16, 16, Pattern(768, 5)}}, 768},
                          {3, Chain(4, 16, 3), 768},
                          {4, Chain(8, 8, 4), 768},
                          {3, Chain(5, 3, 3), 768},
                          {4, Chain(1, 6, 4), 768},
                          {4, Chain(256, 256, 4), 262144},
                          {3, {}, 262144}};  // no levels: a name, no upload
    std::vector<std::pair<std::string, Bytes>> files = {{"other", {1}}};
    for (const auto& c : cases)
        files.push_back({std::to_string(files.size()), MakeTexture(c.components, c.levels)});
    WriteBytes("a.pak", MakeArchive(files));
    QPackFile pack("a.pak");
    QTexture texture(1, 1, 3, 16);
    EXPECT_FALSE(texture.Load("missing", pack));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        uint32_t previous = texture.GetID();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
        ASSERT_TRUE(texture.Load(std::to_string(i + 1).c_str(), pack)) << "case " << i;
        EXPECT_EQ(8, Get(GL_UNPACK_ALIGNMENT)) << "the caller's alignment is put back";
        EXPECT_EQ(c.bufferBytes, texture.GetBufferBytes()) << "case " << i;
        if (i > 0) {
            EXPECT_EQ(previous + 1, texture.GetID()) << "case " << i << ": the next name in generation order";
            EXPECT_TRUE(glIsTexture(previous)) << "case " << i << ": the last texture stays in GL";
        }
        for (int k = 0; k < int(c.levels.size()); ++k) {
            const Level& level = c.levels[size_t(k)];
            ASSERT_EQ(level.width, uint32_t(Get(GL_TEXTURE_WIDTH, k))) << "case " << i << " level " << k;
            ASSERT_EQ(level.height, uint32_t(Get(GL_TEXTURE_HEIGHT, k))) << "case " << i << " level " << k;
            Bytes pixels(level.pixels.size());
            glGetTexImage(GL_TEXTURE_2D, k, c.components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
            EXPECT_EQ(level.pixels, pixels) << "case " << i << " level " << k;
        }
    }
}

TEST(QTexture, BadResourcesAreRefused)
{
    WorkInScratchFolder here;
    std::vector<Level> good = Chain(4, 2, 3);
    Bytes whole = MakeTexture(3, good);
    const std::pair<const char*, Bytes> cases[] = {
        {"wrong tag", Patched(whole, 0, 'Q' | 'T' << 8 | 'E' << 16 | 'Y' << 24)},
        {"short tag", {'Q', 'T', 'E'}},
        {"version bytes 01 00", MakeTexture(3, good, 0x0001)},
        {"components 5", MakeTexture(5, good)},
        {"components 0", MakeTexture(0, good)},
        {"ends inside the header", Bytes(whole.begin(), whole.begin() + 7)},
        {"ends inside a level's size", Bytes(whole.begin(), whole.begin() + 10)},
        {"ends inside the base level", Bytes(whole.begin(), whole.begin() + 20)},
        {"ends inside the last level", Bytes(whole.begin(), whole.end() - 1)},
        {"65535 x 65535 x 4 declared by a tiny file", MakeTexture(4, {{65535, 65535, Bytes(64)}})},
    };
    QTexture texture(4, 4, 3, 32);
    EXPECT_FALSE(texture.Load("missing.qtex", nullptr));
    WriteBytes("ok.qtex", whole);
    ASSERT_TRUE(texture.Load("ok.qtex", nullptr));
    GLuint loaded = texture.GetID();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    for (const auto& c : cases) {
        WriteBytes("bad.qtex", c.second);
        EXPECT_FALSE(texture.Load("bad.qtex", nullptr)) << c.first;
        EXPECT_EQ(loaded, texture.GetID()) << c.first << ": a failed load keeps the last texture";
        EXPECT_EQ(2, Get(GL_UNPACK_ALIGNMENT)) << c.first;
        EXPECT_EQ(48u, texture.GetBufferBytes()) << c.first << ": no growth for bytes that are not there";
    }
}
