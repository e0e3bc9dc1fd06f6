// The tools' one failure line: "TOOL: MESSAGE" on standard error. The tool names itself
// once, at the top of main, before anything can fail.
#pragma once

#include <string>

// Sets the name every failure line starts with; `name` must outlive the program's run.
void SetToolName(const char* name);

// Prints the failure line and returns 1, the tools' exit code for a failure.
int Fail(const std::string& message);
