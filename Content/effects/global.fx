// The values every effect of the demo shares through the effect pool: the current camera and
// time, published by the scene each frame, and the noise textures, bound once at start-up.
#include "shared.fxh"
