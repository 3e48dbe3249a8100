#pragma once
// D3DX 9: everything the demo's code calls of it.
#include "d3dx9/d3dx9core.h"
#include "d3dx9/d3dx9effect.h"
#include "d3dx9/d3dx9math.h"
#include "d3dx9/d3dx9mesh.h"
#include "d3dx9/d3dx9tex.h"
