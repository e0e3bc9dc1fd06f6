#include "effect/EffectFields.h"

#include <cmath>
#include <cstring>

namespace {

constexpr float none = HUGE_VALF;  // no bound on that side

constexpr const char* clamped = "GL clamps the colour it draws to 0..1";

constexpr EffectField Color(const char* name, Color4 EmitterSettings::*member, unsigned offset)
{
    return {name,  FIELD_COLOR, 4,      "rgba",  false,   offset,  0.0f,   1.0f,
            false, clamped,     member, nullptr, nullptr, nullptr, nullptr};
}

constexpr EffectField Number(const char* name, float EmitterSettings::*member, unsigned offset, float low, float high,
                             bool coneOnly, const char* outside)
{
    return {name,  FIELD_FLOAT, 1,       "",      coneOnly, offset,  low,    high,
            false, outside,     nullptr, nullptr, member,   nullptr, nullptr};
}

constexpr EffectField Integer(const char* name, int EmitterSettings::*member, unsigned offset, const char* outside)
{
    return {name,  FIELD_INT, 1,       "",      false,   offset, 0.0f,   none,
            false, outside,   nullptr, nullptr, nullptr, member, nullptr};
}

template <class Settings> auto& FloatIn(Settings& s, const EffectField& f, int c)
{
    static constexpr float Color4::*colorParts[] = {&Color4::r, &Color4::g, &Color4::b, &Color4::a};
    static constexpr float Vec3::*vectorParts[] = {&Vec3::x, &Vec3::y, &Vec3::z};
    if (f.color)
        return (s.*f.color).*colorParts[c];
    if (f.vector)
        return (s.*f.vector).*vectorParts[c];
    return s.*f.number;
}

}  // namespace

// The cone switch has no bytes: a file holds the cone's axis and angle only when it is on.
const EffectField effectFields[] = {
    Color("startColor", &EmitterSettings::startColor, 21),
    Color("endColor", &EmitterSettings::endColor, 37),
    Number("size", &EmitterSettings::size, 53, 0.0f, none, false,
           "the engine draws the particles as large as the size without its sign, the texture turned half a turn"),
    Number("velocity", &EmitterSettings::velocity, 17, -none, none, false, nullptr),
    Integer("lifetime", &EmitterSettings::lifetime, 57,
            "the engine gives the particles 0 ms: they die in the frame that makes them and never show"),
    Integer("emitRate", &EmitterSettings::emitRate, 61, "the engine emits nothing"),
    {"cone", FIELD_SWITCH, 1, "", false, 0, 0.0f, 1.0f, false, nullptr, nullptr, nullptr, nullptr, nullptr,
     &EmitterSettings::coneEnabled},
    {"coneDirection", FIELD_VEC3, 3, "xyz", true, 65, -none, none, true, "every particle stays at the emitter", nullptr,
     &EmitterSettings::coneDirection, nullptr, nullptr, nullptr},
    Number("coneAngle", &EmitterSettings::coneAngle, 77, 0.0f, 90.0f, true,
           "the engine spreads the particles by its tangent, which folds the cone back into 0..90 "
           "(120 spreads as 60, -10 as 10)"),
};
static_assert(sizeof effectFields / sizeof effectFields[0] == EFFECT_FIELD_COUNT, "one row per field");

float& FieldFloat(EmitterSettings& s, const EffectField& f, int c)
{
    return FloatIn(s, f, c);
}

float FieldFloat(const EmitterSettings& s, const EffectField& f, int c)
{
    return FloatIn(s, f, c);
}

uint32_t FieldBits(const EmitterSettings& s, const EffectField& f, int c)
{
    if (f.integer)
        return static_cast<uint32_t>(s.*f.integer);
    if (f.flag)
        return s.*f.flag ? 1u : 0u;
    const float value = FieldFloat(s, f, c);
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void SetFieldBits(EmitterSettings& s, const EffectField& f, int c, uint32_t bits)
{
    if (f.integer)
        s.*f.integer = static_cast<int>(bits);
    else if (f.flag)
        s.*f.flag = bits != 0;
    else
        std::memcpy(&FieldFloat(s, f, c), &bits, sizeof bits);
}

float KeptAsTyped(const EffectField& f, float value)
{
    if (std::isnan(value))
        return value;
    if (f.kind == FIELD_INT) {
        // 2147483520 is the largest float below 2^31, so the cast stays defined.
        const float whole = std::trunc(value);
        return std::fmax(-2147483648.0f, std::fmin(2147483520.0f, whole));
    }
    if (f.number == &EmitterSettings::coneAngle)
        return std::fmax(f.low, std::fmin(f.high, value));
    return value;
}
