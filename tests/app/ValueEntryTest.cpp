// Value entry: typing limits, conversion, integer truncation, the cone-angle clamp,
// groups moving on, which setters reach the live system, and Escape.
#include "app/ValueEntry.h"
#include "tests/app/KeyboardFixture.h"

namespace {

// Characters straight to the entry, as HandleMenuKey passes them ('\r' is Enter).
void Feed(EditField field, const char* text)
{
    if (field != EditField::None)
        editField = field;
    for (; *text; ++text)
        EnterValueChar(static_cast<unsigned char>(*text));
}

}  // namespace

using ValueEntry = KeyboardFixture;

TEST_F(ValueEntry, NineCharactersAtMostBackspaceAndIgnoredKeys)
{
    Feed(EditField::Size, "12345678901QMZ");
    EXPECT_EQ(9, editLength);
    EXPECT_STREQ("123456789", editBuffer);
    EnterValueChar(8);
    EXPECT_STREQ("12345678", editBuffer);
    for (int i = 0; i < 12; ++i)
        EnterValueChar(8);
    EXPECT_EQ(0, editLength);
    EXPECT_EQ(EditField::Size, editField);
}

TEST_F(ValueEntry, EnterConvertsAsAtofStoresAndClearsTheBuffer)
{
    const struct {
        const char* typed;
        float value;
    } cases[] = {{"", 0}, {"-", 0}, {".", 0}, {"1.5.2", 1.5f}, {"5-", 5}, {"-0.25", -0.25f}, {"1-2", 1}};
    for (const auto& c : cases) {
        settings.size = 99.0f;
        Feed(EditField::Size, c.typed);
        EnterValueChar(13);
        EXPECT_EQ(c.value, settings.size) << "'" << c.typed << "'";
        EXPECT_EQ(c.value, system->size) << "'" << c.typed << "'";
        EXPECT_EQ(EditField::None, editField);
        EXPECT_EQ(0, editLength);
        for (char b : editBuffer)
            ASSERT_EQ(0, b) << "the buffer is cleared whole";
    }
    Feed(EditField::Velocity, "0.75\r");
    EXPECT_EQ(0.75f, system->velocity);
}

TEST_F(ValueEntry, IntegerFieldsTruncateTowardZero)
{
    Feed(EditField::EmitRate, "99.9\r");
    EXPECT_EQ(99, settings.emitRate);
    EXPECT_EQ(99u, system->emitRate);
    Feed(EditField::Lifetime, "1500.7\r");
    EXPECT_EQ(1500u, system->lifetime);
    Feed(EditField::Lifetime, "-1.5\r");
    EXPECT_EQ(-1, settings.lifetime);
    EXPECT_EQ(4294967295u, system->lifetime) << "the system reads the same bits unsigned";
}

TEST_F(ValueEntry, GroupsReachTheSystemOnlyAfterTheirLastValue)
{
    Feed(EditField::StartRed, "0.5\r0.25\r0.125\r");
    EXPECT_EQ(EditField::StartAlpha, editField);
    EXPECT_EQ(0.25f, settings.startColor.g);
    EXPECT_EQ(1.0f, system->startColor.r) << "no colour reaches the system before alpha";
    Feed(EditField::None, "0\r");
    EXPECT_EQ(EditField::None, editField);
    EXPECT_EQ(0.125f, system->startColor.b);
    EXPECT_EQ(0.0f, system->startColor.a);
    Feed(EditField::EndRed, "2\r3\r4\r-1\r");
    EXPECT_EQ(2.0f, system->endColor.r) << "colours are not clamped";
    EXPECT_EQ(0.5f, system->startColor.r) << "both colours are passed together";

    Feed(EditField::RotationX, "30\r0\r");
    EXPECT_EQ(0.0f, rotationSpeed.x);
    Feed(EditField::None, "-12.5\r");
    EXPECT_EQ(30.0f, rotationSpeed.x);
    EXPECT_EQ(-12.5f, rotationSpeed.z);
}

TEST_F(ValueEntry, EscapeKeepsStoredComponentsButTouchesNeitherSystemNorCamera)
{
    Feed(EditField::StartRed, "0.5\r7\x1b");
    EXPECT_EQ(EditField::None, editField);
    EXPECT_STREQ("", editBuffer);
    EXPECT_EQ(0.5f, settings.startColor.r);
    EXPECT_EQ(1.0f, settings.startColor.g);
    EXPECT_EQ(1.0f, system->startColor.r);

    rotationSpeed = {1, 2, 3};
    Feed(EditField::RotationX, "30\r\x1b");
    EXPECT_EQ(30.0f, rotationEntry.x);
    EXPECT_EQ(1.0f, rotationSpeed.x);
}

TEST_F(ValueEntry, ConeAngleIsClampedAndTheConeReachesTheSystemOnlyWhenOn)
{
    Feed(EditField::ConeAngle, "120\r");
    EXPECT_EQ(90.0f, settings.coneAngle);
    Feed(EditField::ConeAngle, "-5\r");
    EXPECT_EQ(0.0f, settings.coneAngle);
    Feed(EditField::ConeDirX, "1\r2\r3\r");
    EXPECT_EQ(3.0f, settings.coneDirection.z);
    EXPECT_FALSE(system->coneEnabled) << "with the cone off the values are only stored";

    settings.coneEnabled = true;
    Feed(EditField::ConeDirX, "0\r1\r");
    EXPECT_FALSE(system->coneEnabled) << "the axis reaches the system only after z";
    Feed(EditField::None, "0\r");
    EXPECT_TRUE(system->coneEnabled);
    EXPECT_EQ(1.0f, system->coneDirection.y);
    Feed(EditField::ConeAngle, "45\r");
    EXPECT_EQ(45.0f, system->coneAngle);
}
