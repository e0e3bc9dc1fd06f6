#pragma once
// The nine fields of an effect, listed once: the name the text and the tools use,
// the kind of value, the components, where the file keeps it and the range that
// makes sense. The file codec, the inspection, the text and qptool walk this table
// instead of naming the fields themselves. Plain data and accessors, no output.

#include <cstddef>
#include <cstdint>

#include "effect/EmitterSettings.h"

enum EffectFieldKind : unsigned char {
    FIELD_COLOR,   // four floats r, g, b, a
    FIELD_FLOAT,   // one float
    FIELD_INT,     // one signed 32-bit integer
    FIELD_SWITCH,  // on or off; the file tells it by its length alone, no bytes of its own
    FIELD_VEC3,    // three floats x, y, z
};

struct EffectField {
    const char* name;  // as the text names it: "startColor", "coneAngle", ...
    EffectFieldKind kind;
    int components;       // floats of a colour or vector; 1 otherwise
    const char* letters;  // one letter per component ("rgba", "xyz"); "" for a single value
    bool coneOnly;        // stored in the file only when the cone is on
    unsigned offset;      // first byte in the file, 4 bytes per component; 0 for the switch
    float low, high;      // range of each component that makes sense (the editor keeps
                          // the cone angle within it); values outside deserve a warning
    bool nonZero;         // the components must not all be 0 (the cone axis)
    const char* outside;  // what the engine does with a value outside the range (or a
                          // zero axis); null for a field whose every value makes sense

    // The field in EmitterSettings: the one member pointer of its kind, the others null.
    Color4 EmitterSettings::*color;
    Vec3 EmitterSettings::*vector;
    float EmitterSettings::*number;
    int EmitterSettings::*integer;
    bool EmitterSettings::*flag;
};

// In the order of the settings and of the text; the file orders them by offset.
enum : size_t { EFFECT_FIELD_COUNT = 9 };
extern const EffectField effectFields[EFFECT_FIELD_COUNT];

// The bit of effectFields[index] in a mask of fields (such as the fields a decode took).
inline unsigned EffectFieldBit(size_t index)
{
    return 1u << index;
}

// A number typed for a component of `f`, kept as the editor's value entry keeps it: a
// whole-number field (rate, lifetime) cut toward zero and held within 32 bits, the
// cone angle within its range; every other value as typed. NaN stays NaN.
float KeptAsTyped(const EffectField& f, float value);

// Component `c` (0 .. components - 1) of a colour, vector or float field.
float& FieldFloat(EmitterSettings& s, const EffectField& f, int c);
float FieldFloat(const EmitterSettings& s, const EffectField& f, int c);

// The 32 bits of component `c` as the file stores them: a float's bits, an
// integer's two's complement, 1 or 0 for the switch. SetFieldBits is the inverse.
uint32_t FieldBits(const EmitterSettings& s, const EffectField& f, int c);
void SetFieldBits(EmitterSettings& s, const EffectField& f, int c, uint32_t bits);
