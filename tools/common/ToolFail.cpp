#include "tools/common/ToolFail.h"

#include <cstdio>

namespace {
const char* toolName = "tool";  // replaced by SetToolName before any failure
}

void SetToolName(const char* name)
{
    toolName = name;
}

int Fail(const std::string& message)
{
    fprintf(stderr, "%s: %s\n", toolName, message.c_str());
    return 1;
}
