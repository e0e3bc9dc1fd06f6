#include "app/OnScreenText.h"

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

// Indexed by EditField id; entry 0 (None) has no prompt.
const char* const prompts[] = {
    nullptr,
    "Start Color (Red):",
    "Start Color (Green):",
    "Start Color (Blue):",
    "Start Color (Alpha):",
    "End Color (Red):",
    "End Color (Green):",
    "End Color (Blue):",
    "End Color (Alpha):",
    "Emitt (P's/Sec.) :",
    "Lifetime (mSec.):",
    "Size:",
    "Emitt Velocity:",
    "Cone Direction (X):",
    "Cone Direction (Y):",
    "Cone Direction (Z):",
    "Cone Angle (Deg.):",
    "Rotation Angle X(Deg./Sec):",
    "Rotation Angle Y(Deg./Sec):",
    "Rotation Angle Z(Deg./Sec):",
};

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
    unsigned id = static_cast<unsigned>(field);
    return id < sizeof(prompts) / sizeof(prompts[0]) ? prompts[id] : nullptr;
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
