// --version for every tool: one line "TOOL (qpedit) VERSION" on standard output.
// The version is the project's, set once in the top-level CMakeLists.txt.
#pragma once

// The project version, for example "1.0.0".
const char* ProjectVersion();

// True when the first argument is --version; the version line has then been printed
// on standard output and the tool should exit with 0.
bool PrintVersionIfAsked(int argc, char** argv, const char* tool);
