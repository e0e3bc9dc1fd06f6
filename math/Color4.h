#pragma once
// Four 32-bit floats r, g, b, a, nominally 0.0 to 1.0 each. Never clamped here:
// values outside that range are kept and GL clamps them when drawing.

struct Color4 {
    float r;
    float g;
    float b;
    float a;  // opacity: 0 adds nothing under additive blending
};
