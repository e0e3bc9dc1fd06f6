// qprender: renders a particle effect into PNG files or an animation with no window, through the
// engine's own simulation and drawing. See RenderUsage() for the command line.

#include <malloc.h>
#include <cstdio>
#include <new>
#include <string>

#include "files/NameText.h"
#include "tools/qprender/RenderOptions.h"
#include "tools/qprender/RenderRun.h"
#include "tools/common/ToolFail.h"
#include "tools/common/ToolVersion.h"

int main(int argc, char** argv)
{
    // Every frame frees and takes back the same heap memory; returning it to the
    // system between frames only to fault it in again costs more than drawing.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    if (PrintVersionIfAsked(argc, argv, "qprender"))
        return RENDER_DONE;
    SetToolName("qprender");
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(argc, argv, options, error)) {
        Fail(EscapedName(error) + " (qprender --help shows the options)");
        return RenderFailure(options.comparing);
    }
    if (options.showHelp) {
        fputs(RenderUsage(), stdout);
        return RENDER_DONE;
    }
    try {
        return RunRender(options, stdout, stderr);
    } catch (const std::bad_alloc&) {
        Fail("out of memory");
        return RenderFailure(options.comparing);
    }
}
