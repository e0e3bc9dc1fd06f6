// The texture loader against real GL: uploads read back with glGetTexImage, the staging
// buffer, the name pool, and every kind of bad resource.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "resources/QPackFile.h"
#include "resources/QTexture.h"
#include "tests/resources/GlEnvironment.h"
#include "tests/resources/TestFiles.h"

namespace {
struct Level {
    uint32_t width;
    uint32_t height;
    Bytes pixels;
};

Bytes MakeTexture(int components, const std::vector<Level>& levels, uint32_t version = 0x0100)
{
    Bytes bytes;
    PutText(bytes, "QTEX");
    PutU16(bytes, version);
    bytes.push_back(uint8_t(components));
    bytes.push_back(uint8_t(levels.size()));
    for (const Level& level : levels) {
        PutU16(bytes, level.width);
        PutU16(bytes, level.height);
        bytes.insert(bytes.end(), level.pixels.begin(), level.pixels.end());
    }
    return bytes;
}

// A full chain with distinct pixels in every level.
std::vector<Level> Chain(uint32_t width, uint32_t height, int components)
{
    std::vector<Level> levels;
    for (uint32_t seed = 1;; ++seed) {
        levels.push_back({width, height, Pattern(size_t(width) * height * components, seed)});
        if (width == 1 && height == 1) {
            return levels;
        }
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

Bytes ReadLevel(int level, int components)
{
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    Bytes pixels(size_t(width) * height * components);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, components == 4 ? GL_RGBA : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

GLint Integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

class TextureTest : public ::testing::Test {
protected:
    void TearDown() override { glPixelStorei(GL_UNPACK_ALIGNMENT, 4); }
    ScratchFolder folder;
};
}  // namespace

TEST_F(TextureTest, EveryLevelReadsBackAsStored)
{
    // RGB levels 2 and 1 pixels wide with several rows: their rows are not 4-byte
    // multiples, so they only arrive intact when uploaded at an alignment of 1.
    struct Case {
        int components;
        uint32_t width, height;
    };
    for (Case c : {Case{3, 4, 16}, Case{4, 8, 8}, Case{3, 5, 3}, Case{4, 1, 6}}) {
        std::vector<Level> levels = Chain(c.width, c.height, c.components);
        WriteFile("t.qtex", MakeTexture(c.components, levels));
        glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
        QTexture texture(128, 128, 3, 8);
        ASSERT_TRUE(texture.Load("t.qtex", nullptr)) << c.width << "x" << c.height;
        EXPECT_EQ(8, Integer(GL_UNPACK_ALIGNMENT)) << "the caller's alignment is put back";
        EXPECT_EQ(GLint(texture.GetID()), Integer(GL_TEXTURE_BINDING_2D));
        for (size_t k = 0; k < levels.size(); ++k) {
            GLint format = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, GLint(k), GL_TEXTURE_INTERNAL_FORMAT, &format);
            EXPECT_EQ(c.components == 4 ? GL_RGBA : GL_RGB, format == 3 ? GL_RGB : format == 4 ? GL_RGBA : format);
            EXPECT_EQ(levels[k].pixels, ReadLevel(GLint(k), c.components))
                << c.components << " components, " << c.width << "x" << c.height << ", level " << k;
        }
        GLint filters[2] = {0, 0};
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filters[0]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filters[1]);
        EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, filters[0]);
        EXPECT_EQ(GL_LINEAR, filters[1]);
    }
}

TEST_F(TextureTest, StagingBufferGrowsForEveryLevel)
{
    QTexture texture(128, 128, 3, 8);
    EXPECT_EQ(49152u, texture.GetBufferBytes());
    WriteFile("rgb128.qtex", MakeTexture(3, Chain(128, 128, 3)));
    ASSERT_TRUE(texture.Load("rgb128.qtex", nullptr));
    EXPECT_EQ(49152u, texture.GetBufferBytes()) << "fits without growing";

    std::vector<Level> rgba = Chain(256, 256, 4);
    WriteFile("a.pak", MakeArchive({{"other", {1, 2}}, {"rgba256.qtex", MakeTexture(4, rgba)}}));
    QPackFile pack("a.pak");
    EXPECT_FALSE(texture.Load("missing", pack));
    ASSERT_TRUE(texture.Load("rgba256.qtex", "a.pak")) << "from an archive entry";
    EXPECT_EQ(262144u, texture.GetBufferBytes());
    EXPECT_EQ(rgba[0].pixels, ReadLevel(0, 4));

    // A later level larger than the base: measured and grown like the base.
    QTexture small(1, 1, 3, 2);
    std::vector<Level> levels = {{1, 1, {9, 8, 7}}, {16, 16, Pattern(16 * 16 * 3, 5)}};
    WriteFile("odd.qtex", MakeTexture(3, levels));
    ASSERT_TRUE(small.Load("odd.qtex", nullptr));
    EXPECT_EQ(768u, small.GetBufferBytes());
    EXPECT_EQ(levels[1].pixels, ReadLevel(1, 3));
}

TEST_F(TextureTest, NamePoolHandsOutFreeNamesInGenerationOrder)
{
    QTexture texture(4, 4, 3, 8);
    WriteFile("t.qtex", MakeTexture(3, Chain(2, 2, 3)));
    ASSERT_TRUE(texture.Load("t.qtex", nullptr));
    GLuint first = texture.GetID();
    ASSERT_TRUE(texture.Load("t.qtex", nullptr));
    EXPECT_EQ(first + 1, texture.GetID()) << "a second load takes the next name glGenTextures gave";
    EXPECT_TRUE(glIsTexture(first)) << "and leaves the first texture in GL";
    // Level count 0: a fresh name is bound and nothing is uploaded.
    WriteFile("none.qtex", MakeTexture(3, {}));
    ASSERT_TRUE(texture.Load("none.qtex", nullptr));
    EXPECT_EQ(GLint(first + 2), Integer(GL_TEXTURE_BINDING_2D));

    // Names that hold a texture drop out of the pool (first + 3 to first + 7); once it is
    // used up the count goes on upward from the last name tried, past first + 8 and + 9.
    uint8_t pixel[3] = {1, 2, 3};
    for (GLuint name = first + 3; name < first + 10; ++name) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    }
    GLuint counted = texture.TakeTextureName();
    EXPECT_EQ(0u, texture.GetPoolCount());
    EXPECT_GE(counted, first + 10);
    EXPECT_FALSE(glIsTexture(counted));

    // With the pool empty from the start the count begins at 1.
    QTexture none(1, 1, 3, 0);
    counted = none.TakeTextureName();
    EXPECT_FALSE(glIsTexture(counted));
    for (GLuint name = 1; name < counted; ++name) {
        EXPECT_TRUE(glIsTexture(name)) << name << " was free but skipped";
    }
}

TEST_F(TextureTest, BadResourcesAreRefused)
{
    std::vector<Level> good = Chain(4, 2, 3);
    Bytes whole = MakeTexture(3, good);
    struct Case {
        const char* what;
        Bytes file;
    };
    std::vector<Case> cases = {
        {"wrong tag", MakeTexture(3, good, 0x0100)},
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
    cases[0].file[3] = 'Y';
    QTexture texture(4, 4, 3, 32);
    EXPECT_FALSE(texture.Load("missing.qtex", nullptr));
    WriteFile("ok.qtex", whole);
    ASSERT_TRUE(texture.Load("ok.qtex", nullptr));
    GLuint loaded = texture.GetID();
    for (const Case& c : cases) {
        WriteFile("bad.qtex", c.file);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        EXPECT_FALSE(texture.Load("bad.qtex", nullptr)) << c.what;
        EXPECT_EQ(loaded, texture.GetID()) << c.what << ": a failed load keeps the last texture";
        EXPECT_EQ(2, Integer(GL_UNPACK_ALIGNMENT)) << c.what;
        EXPECT_EQ(48u, texture.GetBufferBytes()) << c.what << ": no growth for bytes that are not there";
    }
    QTexture noGrowth(4, 4, 3, 1);
    WriteFile("v1.qtex", MakeTexture(3, good, 0x0001));
    EXPECT_FALSE(noGrowth.Load("v1.qtex", nullptr));
    EXPECT_EQ(1u, noGrowth.GetPoolCount()) << "refused before a name is taken";
}
