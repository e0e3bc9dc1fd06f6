// qprender: renders a particle effect into PNG files with no window, through the
// engine's own simulation and drawing. See RenderUsage() for the command line.

#include <cstdio>
#include <new>
#include <string>

#include "tools/qprender/RenderOptions.h"
#include "tools/qprender/RenderRun.h"
#include "tools/common/ToolVersion.h"

int main(int argc, char** argv)
{
    if (PrintVersionIfAsked(argc, argv, "qprender"))
        return 0;
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) {
        fprintf(stderr, "qprender: %s (qprender --help shows the options)\n", error.c_str());
        return 1;
    }
    if (options.showHelp) {
        fputs(RenderUsage(), stdout);
        return 0;
    }
    try {
        return RunRender(options, stdout, stderr);
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "qprender: out of memory\n");
        return 1;
    }
}
