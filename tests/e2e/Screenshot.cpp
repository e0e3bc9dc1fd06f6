// qp_screenshot QPEDIT ASSET_DIR OUT.png: starts the editor on the default texture
// in a scratch folder, lets the effect run, opens the lifetime entry and types 250,
// grabs the window as a PNG and quits. Needs an X server in DISPLAY.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "tests/app/TempFolder.h"
#include "tests/e2e/XHarness.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::printf("usage: qp_screenshot QPEDIT ASSET_DIR OUT.png\n");
        return 2;
    }
    // The editor runs in a scratch folder, so the paths are made absolute first.
    char* programPath = realpath(argv[1], nullptr);
    char* assetPath = realpath(argv[2], nullptr);
    if (!programPath || !assetPath) {
        std::printf("qp_screenshot: %s or %s doesn't exist\n", argv[1], argv[2]);
        return 1;
    }
    std::string program = programPath, assets = assetPath, out = argv[3];
    free(programPath);
    free(assetPath);
    XHarness x;
    if (!x.display()) {
        std::printf("qp_screenshot: no X display (DISPLAY is not set or not reachable)\n");
        return 1;
    }
    TempFolder folder;
    {
        std::ifstream in(assets + "/Font.QF", std::ios::binary);
        std::ofstream copy(folder.Path("Font.QF"), std::ios::binary);
        copy << in.rdbuf();
    }
    EditorProcess editor(program, {assets + "/Particle.qtex"}, folder.Root());
    Window w = x.FindWindow("QParticleSystem - Editor 0.8 Beta", 20000);
    if (!w) {
        std::printf("qp_screenshot: the editor showed no window: %s\n", editor.Output().c_str());
        return 1;
    }
    x.Watch(w);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    x.Type("ET250");
    Grab grab;
    bool ok = x.GrabWindow(w, grab) && SavePng(grab, out);
    x.Type("\033\033Q");
    editor.Wait(10000);
    if (!ok) {
        std::printf("qp_screenshot: couldn't grab the window into %s\n", out.c_str());
        return 1;
    }
    std::printf("qp_screenshot: wrote %s (%dx%d)\n", out.c_str(), grab.width, grab.height);
    return 0;
}
