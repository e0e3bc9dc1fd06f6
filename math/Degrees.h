// Angles: every angle interface of the engine takes degrees.
#pragma once

// Degrees to radians with pi rounded to single precision and the arithmetic in double,
// as the engine has always turned angles: 90 degrees is exactly that pi's half, a hair
// past the true right angle (its tangent is a huge negative number, not infinity).
inline double DegreesToRadians(float degrees)
{
    return static_cast<double>(degrees) * static_cast<double>(3.1415927f) / 180.0;
}
