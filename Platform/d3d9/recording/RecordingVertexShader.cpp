#include "d3d9/recording/RecordingVertexShader.h"

#include <utility>

RecordingVertexShader::RecordingVertexShader(RecordingDevice* device, std::string name, std::string source)
    : RecordingObject(device, std::move(name), false), source_(std::move(source))
{
}
