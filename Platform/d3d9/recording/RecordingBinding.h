#pragma once
#include "d3d9/D3DBinding.h"
#include "d3d9/recording/RecordingObject.h"

// One binding of the recording device: the layer's binding slot over recording objects.
template <class T>
using RecordingBinding = D3DBinding<T, RecordingObject>;
