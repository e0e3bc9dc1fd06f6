#include "app/OnScreenText.h"

#include <cstddef>
#include <cstring>

#include "app/EditorState.h"
#include "resources/QBitmapFont.h"

namespace {

const int textLeft = 10;  // overlay units from the left edge
const int menuTop = 285;  // baseline of a menu's first line
const int lineStep = 15;  // overlay units between lines
const int promptBaseline = 5;

const char mainMenuText[] = "Main menu\n\n(E)dit menu\n(V)iew menu\n(S)ave\n(Q)uit";
const char viewMenuText[] = "View menu\n\nZoom (I)n\nZoom (O)ut\nSet (R)otation\n(C)lear";
const char editMenuText[] =
    "Edit menu\n\n(Z) Start color\n(X) End color\n(E)mitt per sec.\nParticle life(T)ime\n(S)ize\n"
    "(V)elocity\nToggle (C)one emitting\nCone (D)irection\nCone (A)ngle";

enum { MENU_BUFFER_SIZE = 256 };
static_assert(sizeof(editMenuText) <= MENU_BUFFER_SIZE, "the longest menu must fit the line buffer");

struct FieldPrompt {
    EditField field;
    const char* text;  // null for None, which has no prompt
};

// One row per EditField, in id order, so that a field's id is its row.
constexpr FieldPrompt prompts[] = {
    {EditField::None, nullptr},
    {EditField::StartRed, "Start Color (Red):"},
    {EditField::StartGreen, "Start Color (Green):"},
    {EditField::StartBlue, "Start Color (Blue):"},
    {EditField::StartAlpha, "Start Color (Alpha):"},
    {EditField::EndRed, "End Color (Red):"},
    {EditField::EndGreen, "End Color (Green):"},
    {EditField::EndBlue, "End Color (Blue):"},
    {EditField::EndAlpha, "End Color (Alpha):"},
    {EditField::EmitRate, "Emitt (P's/Sec.) :"},
    {EditField::Lifetime, "Lifetime (mSec.):"},
    {EditField::Size, "Size:"},
    {EditField::Velocity, "Emitt Velocity:"},
    {EditField::ConeDirX, "Cone Direction (X):"},
    {EditField::ConeDirY, "Cone Direction (Y):"},
    {EditField::ConeDirZ, "Cone Direction (Z):"},
    {EditField::ConeAngle, "Cone Angle (Deg.):"},
    {EditField::RotationX, "Rotation Angle X(Deg./Sec):"},
    {EditField::RotationY, "Rotation Angle Y(Deg./Sec):"},
    {EditField::RotationZ, "Rotation Angle Z(Deg./Sec):"},
};
constexpr size_t promptCount = sizeof(prompts) / sizeof(prompts[0]);

constexpr bool PromptsInIdOrder()
{
    for (size_t id = 0; id < promptCount; ++id)
        if (static_cast<size_t>(prompts[id].field) != id)
            return false;
    return true;
}
static_assert(promptCount == static_cast<size_t>(lastEditField) + 1, "one prompt row per EditField");
static_assert(PromptsInIdOrder(), "prompt rows in EditField id order");

// The text of a menu with '\n' between lines, or null for Hidden and unknown values.
const char* MenuText(MenuState state)
{
    switch (state) {
    case MenuState::Main: return mainMenuText;
    case MenuState::View: return viewMenuText;
    case MenuState::Edit: return editMenuText;
    case MenuState::Hidden: break;
    }
    return nullptr;
}

// The prompt of a value entry, or null for None and unknown ids.
const char* EditPrompt(EditField field)
{
    const size_t id = static_cast<size_t>(field);
    return id < promptCount ? prompts[id].text : nullptr;
}

}  // namespace

void DrawMenu()
{
    const char* text = MenuText(menuState);
    if (!text || !activeFont)
        return;
    // Lines are cut in place in a fixed buffer: each line break becomes the line's
    // terminator, so nothing is allocated per frame.
    char lines[MENU_BUFFER_SIZE];
    std::strncpy(lines, text, sizeof(lines) - 1);
    lines[sizeof(lines) - 1] = 0;

    int y = menuTop;
    char* line = lines;
    for (;;) {
        char* end = std::strchr(line, '\n');
        if (end)
            *end = 0;
        if (*line)
            activeFont->DrawText(textLeft, y, line);
        y -= lineStep;
        if (!end)
            break;
        line = end + 1;
    }
}

void DrawEditPrompt()
{
    const char* prompt = EditPrompt(editField);
    if (!prompt || !activeFont)
        return;
    activeFont->Printf(textLeft, promptBaseline, "%s %s", prompt, editBuffer);
}
