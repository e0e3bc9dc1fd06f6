#include "tools/common/ToolVersion.h"

#include <cstdio>
#include <cstring>

const char* ProjectVersion()
{
    return QP_VERSION;
}

bool PrintVersionIfAsked(int argc, char** argv, const char* tool)
{
    if (argc < 2 || std::strcmp(argv[1], "--version") != 0)
        return false;
    std::printf("%s (qpedit) %s\n", tool, ProjectVersion());
    return true;
}
