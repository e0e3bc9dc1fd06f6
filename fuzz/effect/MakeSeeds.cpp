// Writes the effect-file fuzzer's seed corpus into the folder given: whole records
// with and without a cone and the short lengths the reader tolerates.
#include <cstdio>
#include <string>

#include "effect/EffectFile.h"
#include "files/ReplaceFile.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: make_effect_seeds FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    EmitterSettings s = DefaultEmitterSettings();
    bool ok = WriteEffectFile((folder + "/default.QP").c_str(), s);
    s.coneEnabled = true;
    ok = WriteEffectFile((folder + "/cone.QP").c_str(), s) && ok;
    s.startColor = {0.9f, 0.4f, 0.1f, 1.0f};
    s.endColor = {0.2f, 0.0f, 0.0f, 0.0f};
    s.lifetime = -1;
    s.emitRate = 5000;
    s.coneDirection = {1.0f, 2.0f, 0.5f};
    s.coneAngle = 12.5f;
    ok = WriteEffectFile((folder + "/fire.QP").c_str(), s) && ok;

    // Cut copies of the cone record: header only, mid-colour, just before and
    // inside the cone.
    unsigned char bytes[EFFECT_FILE_CONE_SIZE];
    EncodeEffect(s, bytes);
    for (size_t length : {17u, 40u, 65u, 77u, 79u}) {
        std::string name = folder + "/cut" + std::to_string(length) + ".QP";
        std::string problem;
        ok = ReplaceFileWhole(name.c_str(), bytes, length, problem) && ok;
    }
    if (!ok)
        std::printf("make_effect_seeds: couldn't write the seeds into %s\n", folder.c_str());
    return ok ? 0 : 1;
}
