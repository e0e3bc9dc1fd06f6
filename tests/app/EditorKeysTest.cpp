// The keyboard reader, menus and value entry, driven through a keyboard block of the
// test's own: the state each key sequence leaves and what reaches the live system.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "app/EditorState.h"
#include "app/KeyReader.h"
#include "effect/EffectFile.h"
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

// One value a key sequence leaves: named, read after the keys, and what it should be.
// Every value checked (float, int, unsigned, bool) is exact as a double.
struct Check {
    const char* what;
    double (*observed)();
    double expected;
};

// The size stored and passed on.
std::vector<Check> SizeIs(float value)
{
    return {{"settings.size", [] { return double(settings.size); }, value},
            {"live size", [] { return double(Live().size); }, value}};
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
    std::vector<Check> checks;          // what else holds afterwards
    EditField field = EditField::None;  // open entry afterwards
    MenuState menu = MenuState::Edit;   // open menu afterwards
    bool goesOn = true;                 // no frame asked to stop
    std::string buffer = "";            // text in the entry afterwards; the rest of the buffer is zero
};

using M = MenuState;
using F = EditField;
const Row rows[] = {
    // Menus; Q quits from the main menu only, the hidden menu wakes only for M.
    {"E\033", {}, F::None, M::Main},
    {"V\033", {}, F::None, M::Main},
    {"VQ\033EQ", {}},
    {"\033EVSQ\033", {}, F::None, M::Hidden},
    {"\033M", {}, F::None, M::Main},
    {"Q", {}, F::None, M::Main, false},
    // Zoom stays within 1..10: the 90th step out lands a rounding error past 10.
    {"V" + std::string(89, 'O'),
     {{"cameraDistance", [] { return double(cameraDistance); }, 9.90000153f}},
     F::None,
     M::View},
    {"V" + std::string(90, 'O'), {{"cameraDistance", [] { return double(cameraDistance); }, 10}}, F::None, M::View},
    {"V" + std::string(90, 'O') + std::string(95, 'I'),
     {{"cameraDistance", [] { return double(cameraDistance); }, 1}},
     F::None,
     M::View},
    // Clear stops and straightens the camera; the typed speeds stay staged.
    {"VR3\r4\r5\rC",
     {{"rotationSpeed.x", [] { return double(rotationSpeed.x); }, 0},
      {"rotationSpeed.y", [] { return double(rotationSpeed.y); }, 0},
      {"rotationSpeed.z", [] { return double(rotationSpeed.z); }, 0},
      {"rotationEntry.z", [] { return double(rotationEntry.z); }, 5}},
     F::None,
     M::View},
    {"VC",
     {{"viewRotation element 8", [] { return double(viewRotation.Get(8)); }, 0},
      {"settings.coneEnabled", [] { return double(settings.coneEnabled); }, false}},
     F::None,
     M::View},
    // Each entry key opens its entry with the menu still open; the entry takes every key.
    {"EZ", {}, F::StartRed},
    {"EX", {}, F::EndRed},
    {"EE", {}, F::EmitRate},
    {"ET", {}, F::Lifetime},
    {"ES", {}, F::Size},
    {"EV", {}, F::Velocity},
    {"ED", {}, F::ConeDirX},
    {"EA", {}, F::ConeAngle},
    {"VR", {}, F::RotationX, M::View},
    {"ESQMEV", {}, F::Size},
    {"ES\033", {}},
    {"ES12345678901QMZ", {}, F::Size, M::Edit, true, "123456789"},
    {"ES123\b\b\b\b5", {}, F::Size, M::Edit, true, "5"},
    // Enter converts as atof does.
    {"ES\r", SizeIs(0)},
    {"ES-\r", SizeIs(0)},
    {"ES.\r", SizeIs(0)},
    {"ES1.5.2\r", SizeIs(1.5f)},
    {"ES5-\r", SizeIs(5)},
    {"ES1-2\r", SizeIs(1)},
    {"ES-0.25\r", SizeIs(-0.25f)},
    {"EV0.75\r",
     {{"settings.velocity", [] { return double(settings.velocity); }, 0.75f},
      {"live velocity", [] { return double(Live().velocity); }, 0.75f}}},
    // Integer fields truncate toward zero; a negative count is stored as typed and the
    // system counts it as 0.
    {"EE99.9\r",
     {{"settings.emitRate", [] { return double(settings.emitRate); }, 99},
      {"live emitRate", [] { return double(Live().emitRate); }, 99}}},
    {"ET1500.7\r", {{"live lifetime", [] { return double(Live().lifetime); }, 1500}}},
    {"ET-1.5\r",
     {{"settings.lifetime", [] { return double(settings.lifetime); }, -1},
      {"live lifetime", [] { return double(Live().lifetime); }, 0}}},
    {"EE-50\r",
     {{"settings.emitRate", [] { return double(settings.emitRate); }, -50},
      {"live emitRate", [] { return double(Live().emitRate); }, 0}}},
    // Groups move on and reach the system after their last value, both colours together.
    {"EZ0.5\r0.25\r0.125\r",
     {{"settings.startColor.g", [] { return double(settings.startColor.g); }, 0.25f},
      {"live startColor.r", [] { return double(Live().startColor.r); }, 1}},
     F::StartAlpha},
    {"EZ0.5\r0.25\r0.125\r0\r",
     {{"live startColor.b", [] { return double(Live().startColor.b); }, 0.125f},
      {"live startColor.a", [] { return double(Live().startColor.a); }, 0}}},
    {"EZ0.5\r7\033",
     {{"settings.startColor.r", [] { return double(settings.startColor.r); }, 0.5f},
      {"settings.startColor.g", [] { return double(settings.startColor.g); }, 1},
      {"live startColor.r", [] { return double(Live().startColor.r); }, 1}}},
    {"EZ0.5\r\033X2\r3\r4\r-1\r",
     {{"live endColor.r", [] { return double(Live().endColor.r); }, 2},
      {"live endColor.a", [] { return double(Live().endColor.a); }, -1},
      {"live startColor.r", [] { return double(Live().startColor.r); }, 0.5f}}},
    {"VR30\r0\r-12.5\r",
     {{"rotationSpeed.x", [] { return double(rotationSpeed.x); }, 30},
      {"rotationSpeed.z", [] { return double(rotationSpeed.z); }, -12.5f}},
     F::None,
     M::View},
    {"VR30\r\033",
     {{"rotationEntry.x", [] { return double(rotationEntry.x); }, 30},
      {"rotationSpeed.x", [] { return double(rotationSpeed.x); }, 0}},
     F::None,
     M::View},
    // The cone: the angle clamped to 0..90, passed on only while on; the toggle keeps axis and angle.
    {"EA120\r", {{"settings.coneAngle", [] { return double(settings.coneAngle); }, 90}}},
    {"EA-5\r", {{"settings.coneAngle", [] { return double(settings.coneAngle); }, 0}}},
    {"ED1\r0\r0\rA45\r",
     {{"settings.coneDirection.x", [] { return double(settings.coneDirection.x); }, 1},
      {"settings.coneAngle", [] { return double(settings.coneAngle); }, 45},
      {"live coneEnabled", [] { return double(Live().coneEnabled); }, false}}},
    {"ED1\r0\r0\rA45\rC",
     {{"live coneEnabled", [] { return double(Live().coneEnabled); }, true},
      {"live coneDirection.x", [] { return double(Live().coneDirection.x); }, 1},
      {"live coneAngle", [] { return double(Live().coneAngle); }, 45}}},
    {"ED1\r0\r0\rA45\rCC",
     {{"live coneEnabled", [] { return double(Live().coneEnabled); }, false},
      {"settings.coneDirection.x", [] { return double(settings.coneDirection.x); }, 1},
      {"settings.coneAngle", [] { return double(settings.coneAngle); }, 45}}},
    {"ECD0\r1\r",
     {{"live coneEnabled", [] { return double(Live().coneEnabled); }, true},
      {"live coneDirection.y", [] { return double(Live().coneDirection.y); }, 0}},
     F::ConeDirZ},
    {"ECD0\r1\r0\r", {{"live coneDirection.y", [] { return double(Live().coneDirection.y); }, 1}}},
    {"ECA45\r", {{"live coneAngle", [] { return double(Live().coneAngle); }, 45}}},
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
    const unsigned char rows[][2] = {{DIK_NUMPAD0, '0'},
                                     {DIK_COMMA, '.'},
                                     {DIK_DECIMAL, '.'},
                                     {DIK_SUBTRACT, '-'},
                                     {DIK_NUMPADENTER, KEY_ENTER},
                                     {DIK_DELETE, KEY_BACKSPACE},
                                     {DIK_F1, 0},
                                     {DIK_SPACE, 0}};
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
        EXPECT_EQ(row.buffer, std::string(editBuffer));
        EXPECT_EQ(row.buffer.size(), editLength);
        EXPECT_EQ(std::string(EDIT_BUFFER_SIZE - row.buffer.size(), '\0'),
                  std::string(editBuffer + row.buffer.size(), EDIT_BUFFER_SIZE - row.buffer.size()))
            << "the bytes after the text";
        for (const Check& check : row.checks)
            EXPECT_EQ(check.expected, check.observed()) << check.what;
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
