// qprender: renders a particle effect into PNG files or an animation with no window, through the
// engine's own simulation and drawing. See RenderUsage() for the command line.

#include <malloc.h>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "tools/qprender/RenderOptions.h"
#include "tools/qprender/RenderRun.h"
#include "tools/common/ToolVersion.h"

int main(int argc, char** argv)
{
    // Every frame frees and takes back the same heap memory; returning it to the
    // system between frames only to fault it in again costs more than drawing.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    if (PrintVersionIfAsked(argc, argv, "qprender"))
        return 0;
    // A comparison exits like diff: 2 for any trouble, 1 is "different".
    int trouble = 1;
    for (int i = 1; i < argc; ++i)
        if (strcmp(argv[i], "--against") == 0 || strncmp(argv[i], "--against=", 10) == 0)
            trouble = 2;
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) {
        fprintf(stderr, "qprender: %s (qprender --help shows the options)\n", error.c_str());
        return trouble;
    }
    if (options.showHelp) {
        fputs(RenderUsage(), stdout);
        return 0;
    }
    try {
        return RunRender(options, stdout, stderr);
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "qprender: out of memory\n");
        return trouble;
    }
}
