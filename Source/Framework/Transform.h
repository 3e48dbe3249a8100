#pragma once
#include <memory>
#include <string>

#include "AnimCurve.h"
#include "d3dx9/d3dx9math.h"

// A named, animated placement: translation, Euler rotation (radians about X, Y, Z) and
// scale, each channel optionally driven by a Hermite curve, plus an optional visibility
// step curve. The world matrix is scale, then rotation about X, Y, Z, then translation.
class Transform {
public:
    Transform(const std::string& name, const D3DXVECTOR3& translation, const D3DXVECTOR3& rotation,
              const D3DXVECTOR3& scale);
    ~Transform();
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;

    // Evaluates the curves at the animation time and rebuilds the matrices. Calling it
    // again with the same time gives the same result.
    void Update(float time);

    const std::string& GetName() const { return name; }
    const D3DXMATRIX& GetWorld() const { return world; }
    // The world matrix 1/60 of an animation-time unit before the last update, as the
    // cameras keep their previous pose; identity before the first update.
    const D3DXMATRIX& GetPreviousWorld() const { return previousWorld; }
    bool IsVisible() const { return visible; }

    const D3DXVECTOR3& GetTranslation() const { return translation; }
    const D3DXVECTOR3& GetRotation() const { return rotation; }
    const D3DXVECTOR3& GetScale() const { return scale; }
    void SetTranslation(const D3DXVECTOR3& value) { translation = value; }

    const D3DXMATRIX& GetTranslationMatrix() const { return translationMatrix; }
    const D3DXMATRIX& GetRotationMatrix() const { return rotationMatrix; }
    const D3DXMATRIX& GetScaleMatrix() const { return scaleMatrix; }

private:
    using SmoothCurve = AnimCurve<HERMITESEGMENT<float>>;
    using StepCurve = AnimCurve<CONSTSEGMENT<float>>;

    void EvaluateChannels(float time);
    void ComposeWorld();

    std::string name;
    D3DXVECTOR3 translation;
    D3DXVECTOR3 rotation;
    D3DXVECTOR3 scale;
    std::unique_ptr<SmoothCurve> translateCurves[3];
    std::unique_ptr<SmoothCurve> rotateCurves[3];
    std::unique_ptr<SmoothCurve> scaleCurves[3];
    std::unique_ptr<StepCurve> visibilityCurve;
    bool visible = true;
    D3DXMATRIX world;
    D3DXMATRIX translationMatrix;
    D3DXMATRIX rotationMatrix;
    D3DXMATRIX scaleMatrix;
    D3DXMATRIX previousWorld;
};
