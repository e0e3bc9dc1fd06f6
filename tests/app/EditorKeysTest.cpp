// The keyboard reader, menus and value entry, driven through a keyboard block of the
// test's own: the state each key sequence leaves and what reaches the live system.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "app/EditorState.h"
#include "effect/EffectFile.h"
#include "app/KeyReader.h"
#include "app/Menus.h"
#include "particles/QParticleSystem.h"
#include "platform/Platform.h"
#include "tests/support/ScratchFolder.h"

namespace {

// The key of a character: digits, '-', letters and '.', '\r' Enter, '\b' Backspace, else Escape.
unsigned char Code(char c)
{
    static const char* const rows[] = {"1234567890-", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    static const unsigned char firsts[] = {DIK_1, DIK_Q, DIK_A, DIK_Z};
    for (int r = 0; r < 4; ++r)
        if (const char* at = std::strchr(rows[r], c))
            return static_cast<unsigned char>(firsts[r] + (at - rows[r]));
    return c == '.' ? DIK_PERIOD : c == '\r' ? DIK_RETURN : c == '\b' ? DIK_BACK : DIK_ESCAPE;
}

const QParticleSystem& Live()
{
    return *activeParticleSystem;
}

// The size stored and passed on, and the buffer cleared whole.
bool SizeIs(float value)
{
    return settings.size == value && Live().size == value && editLength == 0 &&
           std::memcmp(editBuffer, "\0\0\0\0\0\0\0\0\0\0", EDIT_BUFFER_SIZE) == 0;
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    // Program-load state, then start-up's default settings, main menu and live system.
    void Reset()
    {
        std::memset(keys, 0, sizeof(keys));
        platformState.keyboardState = keys;
        lastKey = 0;
        ResetEditorState();
        viewRotation.RotateY(25.0f);  // a turned view, for Clear to undo
        settings = DefaultEmitterSettings();
        menuState = MenuState::Main;
        system.emplace(&origin, settings.velocity, 7u, &settings.startColor, &settings.endColor, settings.size, 1000u,
                       false, 100u);
        activeParticleSystem = &*system;
    }
    // Each key down for one frame and up for the next; false once a frame says to stop.
    bool Type(const std::string& typed)
    {
        for (char c : typed) {
            keys[Code(c)] = 0x80;
            bool goOn = HandleMenuKey();
            keys[Code(c)] = 0;
            if (!HandleMenuKey() || !goOn)
                return false;
        }
        return true;
    }

    unsigned char keys[256];
    Vec3 origin{0.0f, 0.0f, 0.0f};
    std::optional<QParticleSystem> system;
};

struct Row {
    std::string keys;
    bool (*holds)();                    // what else holds afterwards, or null
    EditField field = EditField::None;  // open entry afterwards
    MenuState menu = MenuState::Edit;   // open menu afterwards
    bool goesOn = true;                 // no frame asked to stop
};

using M = MenuState;
using F = EditField;
const Row rows[] = {
    // Menus; Q quits from the main menu only, the hidden menu wakes only for M.
    {"E\033", nullptr, F::None, M::Main},
    {"V\033", nullptr, F::None, M::Main},
    {"VQ\033EQ", nullptr},
    {"\033EVSQ\033", nullptr, F::None, M::Hidden},
    {"\033M", nullptr, F::None, M::Main},
    {"Q", nullptr, F::None, M::Main, false},
    // Zoom stays within 1..10: the 90th step out lands a rounding error past 10.
    {"V" + std::string(89, 'O'), [] { return cameraDistance < 10.0f; }, F::None, M::View},
    {"V" + std::string(90, 'O'), [] { return cameraDistance == 10.0f; }, F::None, M::View},
    {"V" + std::string(90, 'O') + std::string(95, 'I'), [] { return cameraDistance == 1.0f; }, F::None, M::View},
    // Clear stops and straightens the camera; the typed speeds stay staged.
    {"VR3\r4\r5\rC", [] { return rotationSpeed.x + rotationSpeed.y + rotationSpeed.z == 0 && rotationEntry.z == 5; },
     F::None, M::View},
    {"VC", [] { return viewRotation.Get(8) == 0 && !settings.coneEnabled; }, F::None, M::View},
    // Each entry key opens its entry with the menu still open; the entry takes every key.
    {"EZ", nullptr, F::StartRed},
    {"EX", nullptr, F::EndRed},
    {"EE", nullptr, F::EmitRate},
    {"ET", nullptr, F::Lifetime},
    {"ES", nullptr, F::Size},
    {"EV", nullptr, F::Velocity},
    {"ED", nullptr, F::ConeDirX},
    {"EA", nullptr, F::ConeAngle},
    {"VR", nullptr, F::RotationX, M::View},
    {"ESQMEV", [] { return editLength == 0; }, F::Size},
    {"ES\033", nullptr},
    {"ES12345678901QMZ", [] { return std::strcmp(editBuffer, "123456789") == 0; }, F::Size},
    {"ES123\b\b\b\b5", [] { return std::strcmp(editBuffer, "5") == 0; }, F::Size},
    // Enter converts as atof does.
    {"ES\r", [] { return SizeIs(0); }},
    {"ES-\r", [] { return SizeIs(0); }},
    {"ES.\r", [] { return SizeIs(0); }},
    {"ES1.5.2\r", [] { return SizeIs(1.5f); }},
    {"ES5-\r", [] { return SizeIs(5); }},
    {"ES1-2\r", [] { return SizeIs(1); }},
    {"ES-0.25\r", [] { return SizeIs(-0.25f); }},
    {"EV0.75\r", [] { return settings.velocity == 0.75f && Live().velocity == 0.75f; }},
    // Integer fields truncate toward zero; the system reads the same bits unsigned.
    {"EE99.9\r", [] { return settings.emitRate == 99 && Live().emitRate == 99u; }},
    {"ET1500.7\r", [] { return Live().lifetime == 1500u; }},
    {"ET-1.5\r", [] { return settings.lifetime == -1 && Live().lifetime == 4294967295u; }},
    // Groups move on and reach the system after their last value, both colours together.
    {"EZ0.5\r0.25\r0.125\r", [] { return settings.startColor.g == 0.25f && Live().startColor.r == 1; }, F::StartAlpha},
    {"EZ0.5\r0.25\r0.125\r0\r", [] { return Live().startColor.b == 0.125f && Live().startColor.a == 0; }},
    {"EZ0.5\r7\033",
     [] { return settings.startColor.r == 0.5f && settings.startColor.g == 1 && Live().startColor.r == 1; }},
    {"EZ0.5\r\033X2\r3\r4\r-1\r",
     [] { return Live().endColor.r == 2 && Live().endColor.a == -1 && Live().startColor.r == 0.5f; }},
    {"VR30\r0\r-12.5\r", [] { return rotationSpeed.x == 30 && rotationSpeed.z == -12.5f; }, F::None, M::View},
    {"VR30\r\033", [] { return rotationEntry.x == 30 && rotationSpeed.x == 0; }, F::None, M::View},
    // The cone: the angle clamped to 0..90, passed on only while on; the toggle keeps axis and angle.
    {"EA120\r", [] { return settings.coneAngle == 90; }},
    {"EA-5\r", [] { return settings.coneAngle == 0; }},
    {"ED1\r0\r0\rA45\r",
     [] { return settings.coneDirection.x == 1 && settings.coneAngle == 45 && !Live().coneEnabled; }},
    {"ED1\r0\r0\rA45\rC", [] { return Live().coneEnabled && Live().coneDirection.x == 1 && Live().coneAngle == 45; }},
    {"ED1\r0\r0\rA45\rCC",
     [] { return !Live().coneEnabled && settings.coneDirection.x == 1 && settings.coneAngle == 45; }},
    {"ECD0\r1\r", [] { return Live().coneEnabled && Live().coneDirection.y == 0; }, F::ConeDirZ},
    {"ECD0\r1\r0\r", [] { return Live().coneDirection.y == 1; }},
    {"ECA45\r", [] { return Live().coneAngle == 45; }},
};

}  // namespace

TEST_F(Keys, ReaderGivesEachPressOnceAndOnlyTheTopKey)
{
    keys[DIK_M] = keys[DIK_Z] = 0xFF;
    EXPECT_EQ('M', ReadKey()) << "M is above Z";
    EXPECT_EQ(0, ReadKey()) << "a held key is reported once";
    keys[DIK_M] = 0x7F;
    EXPECT_EQ('Z', ReadKey()) << "only bit 7 counts: the lower key counts once the higher goes";
    keys[DIK_5] = 0x80;
    EXPECT_EQ(0, ReadKey()) << "a digit held under a letter is hidden";
    keys[DIK_Z] = 0;
    EXPECT_EQ('5', ReadKey());
    keys[DIK_NUMPAD5] = 0x80;
    keys[DIK_5] = 0;
    EXPECT_EQ(0, ReadKey()) << "the other key of the same row is the same held key";
    keys[DIK_NUMPAD5] = 0;

    // Each key comes back after a release: both '.' keys in a row give two points.
    const unsigned char rows[][2] = {{DIK_NUMPAD0, '0'},    {DIK_COMMA, '.'}, {DIK_DECIMAL, '.'}, {DIK_SUBTRACT, '-'},
                                     {DIK_NUMPADENTER, 13}, {DIK_DELETE, 8},  {DIK_F1, 0},        {DIK_SPACE, 0}};
    for (const auto& row : rows) {
        keys[row[0]] = 0x80;
        EXPECT_EQ(row[1], ReadKey()) << "scan code " << int(row[0]);
        keys[row[0]] = 0;
        ReadKey();
    }
}

TEST_F(Keys, EachSequenceLeavesItsStateAndReachesTheSystem)
{
    for (const Row& row : rows) {
        Reset();
        SCOPED_TRACE(::testing::PrintToString(row.keys));
        EXPECT_EQ(row.goesOn, Type(row.keys));
        EXPECT_EQ(row.menu, menuState);
        EXPECT_EQ(row.field, editField);
        EXPECT_TRUE(!row.holds || row.holds());
    }
}

TEST_F(Keys, AFailedSaveSaysSoAndClosesTheMenu)
{
    saveFileName = "/nonexistent/x.QP";
    testing::internal::CaptureStdout();
    Type("S");
    EXPECT_EQ("Couldn't save effect /nonexistent/x.QP\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(MenuState::Hidden, menuState);
}

TEST_F(Keys, SaveOverAFileStartUpRefusedKeepsItFirstUnderAFreeBackupName)
{
    ScratchFolder dir;
    const Bytes junk = {'j', 'u', 'n', 'k'};
    ASSERT_EQ(0, mkdir(dir.Path("taken.QP.bak").c_str(), 0700));  // the user's own .bak, never replaced
    const struct {
        std::string path;    // also the save name while the test runs
        bool present;        // the refused file is still there at Save
        std::string output;  // printed by Save
        size_t size;         // of the file afterwards
    } cases[] = {
        {dir.Path("taken.QP"), true,
         "Kept the earlier " + dir.Path("taken.QP") + " as " + dir.Path("taken.QP.bak.1") + "\n", EFFECT_FILE_SIZE},
        {dir.Path("gone.QP"), false, "", EFFECT_FILE_SIZE},  // nothing left to keep
        {dir.Path("x.QP"), true, "Kept the earlier " + dir.Path("x.QP") + " as " + dir.Path("x.QP.bak") + "\n",
         EFFECT_FILE_SIZE},
    };
    for (const auto& c : cases) {
        Reset();
        if (c.present)
            WriteBytes(c.path, junk);
        saveFileName = c.path.c_str();
        keepRefusedFile = true;
        testing::internal::CaptureStdout();
        Type("S");
        EXPECT_EQ(c.output, testing::internal::GetCapturedStdout()) << c.path;
        EXPECT_EQ(c.size, ReadBytes(c.path).size()) << c.path;
        EXPECT_FALSE(keepRefusedFile) << c.path << ": a whole save ends the keeping";
        EXPECT_EQ(MenuState::Hidden, menuState) << c.path;
    }
    EXPECT_EQ(junk, ReadBytes(dir.Path("x.QP.bak")));
    EXPECT_EQ(junk, ReadBytes(dir.Path("taken.QP.bak.1")));
    EXPECT_EQ(6, dir.Count()) << "taken.QP(.bak, .bak.1), gone.QP, x.QP(.bak): no gone.QP.bak";
    // A second Save replaces x.QP and leaves its .bak alone.
    testing::internal::CaptureStdout();
    Type("MS");
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(junk, ReadBytes(dir.Path("x.QP.bak")));
}
