#pragma once
// What the platform layer's own files share and callers never see: the test
// seam that forces a setupLL failure.

// True when failSetupLL(failure) is in force.
bool setupFailureForced(int failure);
