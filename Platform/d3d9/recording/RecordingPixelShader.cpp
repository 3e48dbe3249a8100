#include "d3d9/recording/RecordingPixelShader.h"

#include <utility>

RecordingPixelShader::RecordingPixelShader(RecordingDevice* device, std::string name, std::string source)
    : RecordingObject(device, std::move(name), false), source_(std::move(source))
{
}
