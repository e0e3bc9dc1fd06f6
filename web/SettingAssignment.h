#pragma once
// One `name=value` assignment to the effect settings, in the form qptool takes
// them: a whole field (startColor=1,0.5,0,1 with commas and/or blanks between the
// components, size=0.05, emitRate=500, cone=on|off, coneDirection=0,0,-1) or one
// component (startColor.a=0.5, coneDirection.z=-1). Values are taken as the effect
// file holds them, unclamped; whole numbers for lifetime and emitRate.

#include <string>

#include "effect/EmitterSettings.h"

// Applies `assignment` to `s`, or nothing: on a bad name or value, or an axis or
// angle set while the cone is off (the file wouldn't keep it), `s` is left as it
// was, `error` says what is wrong and false is returned.
bool AssignSetting(EmitterSettings& s, const std::string& assignment, std::string& error);
