// The menus driven through the keyboard block: transitions, quit, zoom bounds,
// camera clear, cone toggle, save, and keys swallowed by an open value entry.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/EffectFile.h"
#include "tests/app/KeyboardFixture.h"
#include "tests/app/TempFolder.h"

using Menus = KeyboardFixture;

TEST_F(Menus, TransitionsAndQuitOnlyFromTheMainMenu)
{
    const struct {
        MenuState from;
        unsigned char key;
        MenuState to;
    } steps[] = {
        {MenuState::Main, DIK_E, MenuState::Edit},     {MenuState::Edit, DIK_ESCAPE, MenuState::Main},
        {MenuState::Main, DIK_V, MenuState::View},     {MenuState::View, DIK_ESCAPE, MenuState::Main},
        {MenuState::Main, DIK_ESCAPE, MenuState::Hidden}, {MenuState::Hidden, DIK_E, MenuState::Hidden},
        {MenuState::Hidden, DIK_ESCAPE, MenuState::Hidden}, {MenuState::Hidden, DIK_M, MenuState::Main},
        {MenuState::Main, DIK_M, MenuState::Main},
    };
    for (const auto& step : steps) {
        menuState = step.from;
        EXPECT_TRUE(Type({step.key}));
        EXPECT_EQ(step.to, menuState) << "from " << int(step.from) << " key " << int(step.key);
    }
    for (MenuState state : {MenuState::Hidden, MenuState::View, MenuState::Edit}) {
        menuState = state;
        EXPECT_TRUE(Type({DIK_Q})) << "Q in menu " << int(state);
    }
    menuState = MenuState::Main;
    EXPECT_FALSE(Type({DIK_Q}));
}

TEST_F(Menus, ZoomStaysWithinOneToTenAndClearStopsTheCamera)
{
    menuState = MenuState::View;
    Type({DIK_I});
    EXPECT_EQ(1.0f, cameraDistance);
    for (int i = 0; i < 89; ++i)
        Type({DIK_O});
    EXPECT_GT(10.0f, cameraDistance);
    Type({DIK_O});
    EXPECT_EQ(10.0f, cameraDistance) << "the 90th step lands a rounding error past 10 and is set to it";
    Type({DIK_O});
    EXPECT_EQ(10.0f, cameraDistance);
    for (int i = 0; i < 95; ++i)
        Type({DIK_I});
    EXPECT_EQ(1.0f, cameraDistance);

    rotationSpeed = rotationEntry = {30, 40, 50};
    viewRotation.RotateY(25.0f);
    Type({DIK_C});
    EXPECT_EQ(0.0f, rotationSpeed.x + rotationSpeed.y + rotationSpeed.z);
    EXPECT_EQ(50.0f, rotationEntry.z) << "the typed speeds stay staged";
    EXPECT_EQ(1.0f, viewRotation.Get(0));
    EXPECT_EQ(0.0f, viewRotation.Get(8));
    EXPECT_FALSE(settings.coneEnabled) << "C in the view menu is not the cone toggle";
    EXPECT_EQ(MenuState::View, menuState);
}

TEST_F(Menus, EditKeysOpenTheirEntryAndConeToggleKeepsAxisAndAngle)
{
    const struct {
        MenuState menu;
        unsigned char key;
        EditField field;
    } keysToFields[] = {
        {MenuState::Edit, DIK_Z, EditField::StartRed}, {MenuState::Edit, DIK_X, EditField::EndRed},
        {MenuState::Edit, DIK_E, EditField::EmitRate}, {MenuState::Edit, DIK_T, EditField::Lifetime},
        {MenuState::Edit, DIK_S, EditField::Size},     {MenuState::Edit, DIK_V, EditField::Velocity},
        {MenuState::Edit, DIK_D, EditField::ConeDirX}, {MenuState::Edit, DIK_A, EditField::ConeAngle},
        {MenuState::View, DIK_R, EditField::RotationX},
    };
    for (const auto& k : keysToFields) {
        menuState = k.menu;
        editField = EditField::None;
        Type({k.key});
        EXPECT_EQ(k.field, editField) << "key " << int(k.key);
        EXPECT_EQ(k.menu, menuState) << "the menu stays open above the entry";
    }

    menuState = MenuState::Edit;
    editField = EditField::None;
    settings.coneDirection = {1, 0, 0};
    settings.coneAngle = 45;
    Type({DIK_C});
    EXPECT_TRUE(settings.coneEnabled);
    EXPECT_TRUE(system->coneEnabled);
    EXPECT_EQ(1.0f, system->coneDirection.x);
    EXPECT_EQ(45.0f, system->coneAngle);
    Type({DIK_C});
    EXPECT_FALSE(settings.coneEnabled);
    EXPECT_FALSE(system->coneEnabled);
    EXPECT_EQ(1.0f, settings.coneDirection.x);
    EXPECT_EQ(45.0f, settings.coneAngle);
}

TEST_F(Menus, AnOpenEntryTakesEveryKeyAndEscapeOnlyClosesIt)
{
    editField = EditField::Size;
    EXPECT_TRUE(Type({DIK_Q, DIK_M, DIK_E, DIK_S})) << "Q must not quit while typing";
    EXPECT_EQ(MenuState::Main, menuState);
    EXPECT_EQ(0, editLength);
    Type({DIK_ESCAPE});
    EXPECT_EQ(EditField::None, editField);
    EXPECT_EQ(MenuState::Main, menuState);
}

TEST_F(Menus, SaveWritesTheSettingsAndHidesTheMenuAndAFailedSaveSaysSo)
{
    TempFolder dir;
    std::string path = dir.Path("saved.QP");
    saveFileName = path.c_str();
    settings.emitRate = 250;
    testing::internal::CaptureStdout();
    Type({DIK_S});
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(MenuState::Hidden, menuState);
    unsigned char record[EFFECT_FILE_CONE_SIZE];
    size_t length = EncodeEffect(settings, record);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::vector<unsigned char>(record, record + length),
              std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));

    std::string bad = dir.Path("missing/x.QP");
    saveFileName = bad.c_str();
    menuState = MenuState::Main;
    testing::internal::CaptureStdout();
    Type({DIK_S});
    EXPECT_EQ("Couldn't save effect " + bad + "\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(MenuState::Hidden, menuState) << "the menu closes either way";
}
