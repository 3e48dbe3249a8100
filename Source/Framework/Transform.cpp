#include "Transform.h"

namespace {

// The pose one sixtieth of an animation-time unit earlier is the previous frame's.
constexpr float kPreviousFrameOffset = 1.0f / 60.0f;

template <typename Curve>
std::unique_ptr<Curve> LoadCurve(const std::string& curveName)
{
    auto curve = std::make_unique<Curve>(curveName);
    if (!curve->Load())
        curve.reset(); // the channel keeps its value from the scene file
    return curve;
}

} // namespace

Transform::Transform(const std::string& name, const D3DXVECTOR3& translation, const D3DXVECTOR3& rotation,
                     const D3DXVECTOR3& scale)
    : name(name), translation(translation), rotation(rotation), scale(scale)
{
    D3DXMatrixIdentity(&world);
    D3DXMatrixIdentity(&translationMatrix);
    D3DXMatrixIdentity(&rotationMatrix);
    D3DXMatrixIdentity(&scaleMatrix);
    D3DXMatrixIdentity(&previousWorld);

    const char axes[3] = {'X', 'Y', 'Z'};
    for (int i = 0; i < 3; ++i) {
        translateCurves[i] = LoadCurve<SmoothCurve>(name + ".translate" + axes[i]);
        rotateCurves[i] = LoadCurve<SmoothCurve>(name + ".rotate" + axes[i]);
        scaleCurves[i] = LoadCurve<SmoothCurve>(name + ".scale" + axes[i]);
    }
    visibilityCurve = LoadCurve<StepCurve>(name + ".visibility");
}

Transform::~Transform() = default;

void Transform::EvaluateChannels(float time)
{
    for (int i = 0; i < 3; ++i) {
        if (translateCurves[i]) {
            translateCurves[i]->Evaluate(time);
            translation[i] = translateCurves[i]->GetValue();
        }
        if (rotateCurves[i]) {
            rotateCurves[i]->Evaluate(time);
            rotation[i] = rotateCurves[i]->GetValue();
        }
        if (scaleCurves[i]) {
            scaleCurves[i]->Evaluate(time);
            scale[i] = scaleCurves[i]->GetValue();
        }
    }
}

void Transform::ComposeWorld()
{
    D3DXMATRIX rotateX, rotateY, rotateZ;
    D3DXMatrixRotationX(&rotateX, rotation.x);
    D3DXMatrixRotationY(&rotateY, rotation.y);
    D3DXMatrixRotationZ(&rotateZ, rotation.z);
    rotationMatrix = rotateX * rotateY * rotateZ;
    D3DXMatrixTranslation(&translationMatrix, translation.x, translation.y, translation.z);
    D3DXMatrixScaling(&scaleMatrix, scale.x, scale.y, scale.z);
    world = scaleMatrix * rotationMatrix * translationMatrix;
}

void Transform::Update(float time)
{
    EvaluateChannels(time - kPreviousFrameOffset);
    ComposeWorld();
    previousWorld = world;

    EvaluateChannels(time);
    if (visibilityCurve) {
        visibilityCurve->Evaluate(time);
        visible = visibilityCurve->GetValue() > 0.0f; // 0, negative and NaN hide
    }
    ComposeWorld();
}
