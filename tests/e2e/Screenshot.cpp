// qp_screenshot QPEDIT ASSET_DIR OUT.png: runs the editor on the default texture in
// a scratch folder, lets the effect build up, types 250 into the lifetime entry,
// writes the window as a PNG and quits. Needs an X server in DISPLAY.
#include <cstdio>

#include "app/Editor.h"
#include "tests/e2e/XHarness.h"
#include "tools/common/PngFile.h"

int main(int argc, char** argv)
{
    ScratchFolder folder;
    XHarness x;
    std::error_code noFont;
    if (argc != 4 || !x.dpy ||
        !std::filesystem::copy_file(std::string(argv[2]) + "/Font.QF", folder.Path("Font.QF"), noFont)) {
        std::printf("usage: qp_screenshot QPEDIT ASSET_DIR OUT.png (ASSET_DIR with Font.QF; X server in DISPLAY)\n");
        return 1;
    }
    // The editor runs in the scratch folder, so its paths are made absolute.
    std::string program = std::filesystem::absolute(argv[1]), assets = std::filesystem::absolute(argv[2]);
    EditorProcess editor(program, {assets + "/Particle.qtex"}, folder.root);
    bool ok = x.Attach(editorWindowTitle, 20000);
    sleep(2);  // the effect builds up over a particle lifetime
    x.Type("ET250");
    Grab grab;
    std::string error = "the editor showed no window";
    ok = ok && x.GrabWindow(grab) && WritePng(argv[3], grab.width, grab.height, 3, grab.rgb.data(), error);
    x.Type("\033\033Q");
    editor.Wait(10000);
    if (!ok)
        std::printf("qp_screenshot: couldn't write %s: %s %s\n", argv[3], error.c_str(), editor.Output().c_str());
    return ok ? 0 : 1;
}
