// qpedit TEXTURE [EFFECT]: the live particle-effect editor.
#include "app/Editor.h"

int main(int argc, char** argv)
{
    return RunEditor(argc, argv);
}
