#pragma once
// `qptool cost [options] FILE...`: what each effect costs to run (the effect
// library's EffectCost), as text or JSON, and optionally checked against budgets.

#include <string>
#include <vector>

// The usage lines of the command, for qptool's --help.
extern const char* const costUsage;

// Runs the command on its arguments (after the word "cost"). Exit code: 0 within
// every budget, 1 when an effect passes one (each named on stderr), 2 for trouble
// (a bad option, a file that can't be read or isn't an effect).
int RunCost(const std::vector<std::string>& args);
