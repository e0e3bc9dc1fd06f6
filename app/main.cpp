// qpedit TEXTURE [EFFECT]: the live particle-effect editor. --help and --version, as
// the only first argument that isn't a texture name, answer on standard output.
#include <cstdio>
#include <cstring>

#include "app/Editor.h"

namespace {

const char* const help =
    "usage: qpedit TEXTURE [EFFECT]\n"
    "       qpedit --help | --version\n"
    "\n"
    "Runs one particle effect live in a 640x480 window and changes its settings from\n"
    "the keyboard through menus drawn over it. TEXTURE is a QTEX file (qtex makes one\n"
    "from a PNG). EFFECT is loaded when it is a valid effect file (.QP) and is where\n"
    "Save writes, whether or not it loaded; without it Save writes Out.QP. The font,\n"
    "Font.QF, is read from the working directory.\n"
    "\n"
    "keys:\n"
    "  no menu   M opens the main menu\n"
    "  Main      E Edit menu, V View menu, S save and hide the menu, Q quit, Esc hide\n"
    "  View      I/O zoom in/out, R turn speeds X, Y, Z (degrees per second),\n"
    "            C stop and straighten the view, Esc back\n"
    "  Edit      Z/X start/end colour (R, G, B, A), E particles per second,\n"
    "            T lifetime (ms), S size, V velocity, C cone on/off, D cone axis X, Y, Z,\n"
    "            A cone angle (0..90), Esc back\n"
    "  typing    digits, - and .; Enter stores the value and moves on, Backspace\n"
    "            removes a character, Esc cancels\n";

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(help, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("qpedit (qpedit) %s\n", QP_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return RunEditor(argc, argv);
}
