#include "tools/qprender/FrameFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/qprender/OptionValues.h"

namespace {

// The projection's half-width over distance, glFrustum(-0.2, 0.2, ...) at near 0.5,
// in both directions (the frame stretches it to its own shape).
const float viewSlope = 0.4f;
// The part of the frame the particles may fill, leaving a margin around them.
const float fill = 0.9f;
// The nearest a particle may come to the eye: the near plane and a little more.
const float nearest = 0.55f;

// `value` rounded to `decimals` places, as the shortest decimal text and read back.
float Rounded(float value, int decimals, std::string& text)
{
    char buffer[48];
    snprintf(buffer, sizeof buffer, "%.*f", decimals, double(value));
    text = buffer;
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    float parsed = 0.0f;
    ParseFloatText(text, parsed);
    return parsed;
}

}  // namespace

void FrameFit::Add(const QParticleManager& particles, const QMatrix& view, float size)
{
    Seen s{};
    bool any = false;
    for (const QParticleSystem* system = particles.systems; system; system = system->next)
        for (const QParticleBatch* batch = system->batches; batch; batch = batch->next)
            for (const QParticle* p = batch->particles; p; p = p->next) {
                const Vec3& v = p->position;
                // A particle that has flown off to infinity can't be framed; the rest can.
                if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                    continue;
                if (!any) {
                    s.low = s.high = v;
                    any = true;
                }
                s.low = {std::min(s.low.x, v.x), std::min(s.low.y, v.y), std::min(s.low.z, v.z)};
                s.high = {std::max(s.high.x, v.x), std::max(s.high.y, v.y), std::max(s.high.z, v.z)};
            }
    if (!any)
        return;
    const float* m = view.GetData();  // column-major: row r, column c at 4c + r
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            s.turn[3 * r + c] = m[4 * c + r];
    s.size = std::fabs(size);
    seen.push_back(s);
}

bool FrameFit::Choose(float fallback, Vec3& aim, float& distance) const
{
    aim = {0.0f, 0.0f, 0.0f};
    distance = fallback;
    if (seen.empty())
        return false;
    Vec3 low = seen[0].low, high = seen[0].high;
    for (const Seen& s : seen) {
        low = {std::min(low.x, s.low.x), std::min(low.y, s.low.y), std::min(low.z, s.low.z)};
        high = {std::max(high.x, s.high.x), std::max(high.y, s.high.y), std::max(high.z, s.high.z)};
    }
    std::string text;
    aim = {Rounded(0.5f * (low.x + high.x), 3, text), Rounded(0.5f * (low.y + high.y), 3, text),
           Rounded(0.5f * (low.z + high.z), 3, text)};
    // A point q of the turned effect (relative to the aim) is in the frame from
    // distance d when |q.x| + size <= slope (d - q.z), and so for y; the bounds are
    // a box, and those conditions hold for all of it when they hold at its corners.
    double need = 1.0;
    for (const Seen& s : seen)
        for (int corner = 0; corner < 8; ++corner) {
            const float p[3] = {(corner & 1 ? s.high.x : s.low.x) - aim.x, (corner & 2 ? s.high.y : s.low.y) - aim.y,
                                (corner & 4 ? s.high.z : s.low.z) - aim.z};
            double q[3];
            for (int r = 0; r < 3; ++r)
                q[r] =
                    double(s.turn[3 * r]) * p[0] + double(s.turn[3 * r + 1]) * p[1] + double(s.turn[3 * r + 2]) * p[2];
            const double across = std::max(std::fabs(q[0]), std::fabs(q[1])) + s.size;
            need = std::max(need, across / (viewSlope * fill) + q[2]);
            need = std::max(need, q[2] + nearest);
        }
    need = std::min(10.0, std::ceil(need * 100.0) / 100.0);
    distance = Rounded(float(need), 2, text);
    return true;
}

std::string FrameFit::Options(const Vec3& aim, float distance)
{
    std::string x, y, z, d;
    Rounded(aim.x, 3, x);
    Rounded(aim.y, 3, y);
    Rounded(aim.z, 3, z);
    Rounded(distance, 2, d);
    return "--look-at " + x + "," + y + "," + z + " --distance " + d;
}
