#include "SpotLight.h"

#include "Transform.h"

SpotLight::SpotLight(const std::string& name, Transform* transform, const D3DXCOLOR& color, float penumbraAngle,
                     float coneAngle, float radius, bool castShadows)
    : BaseLight(name, transform, color, radius, castShadows), coneAngle(coneAngle), penumbraAngle(penumbraAngle)
{
    D3DXMatrixPerspectiveFovRH(&projection, coneAngle, 1.0f, radius / 500.0f, radius * 8.0f);
    D3DXMatrixIdentity(&orientation);
    PlaceFromTransform();
}

void SpotLight::Update(float time)
{
    if (!transform)
        return;
    transform->Update(time);
    PlaceFromTransform();
}

void SpotLight::PlaceFromTransform()
{
    D3DXVECTOR3 position(0.0f, 0.0f, 0.0f);
    D3DXVECTOR3 rotation(0.0f, 0.0f, 0.0f);
    if (transform) {
        position = transform->GetTranslation();
        rotation = transform->GetRotation();
    }
    D3DXMATRIX rotateX, rotateY, rotateZ;
    D3DXMatrixRotationX(&rotateX, rotation.x);
    D3DXMatrixRotationY(&rotateY, rotation.y);
    D3DXMatrixRotationZ(&rotateZ, rotation.z);
    Place(position, rotateX * rotateY * rotateZ);
}

void SpotLight::Place(const D3DXVECTOR3& position, const D3DXMATRIX& newOrientation)
{
    orientation = newOrientation;
    D3DXMATRIX transposed, translation, back;
    D3DXMatrixTranspose(&transposed, &orientation);
    D3DXMatrixTranslation(&translation, position.x, position.y, position.z);
    world = orientation * translation;
    D3DXMatrixTranslation(&back, -position.x, -position.y, -position.z);
    view = back * transposed;
    viewProj = view * projection;
    direction = D3DXVECTOR3(-orientation._31, -orientation._32, -orientation._33);
}

void SpotLight::Aim(const D3DXVECTOR3& position, const D3DXVECTOR3& axis)
{
    if (transform)
        transform->SetTranslation(position);

    const D3DXVECTOR3 unitX(1.0f, 0.0f, 0.0f), unitY(0.0f, 1.0f, 0.0f);
    D3DXVECTOR3 a, b;
    D3DXVec3Cross(&a, &unitX, &axis);
    D3DXVec3Cross(&b, &unitY, &axis);
    const float lengthA = D3DXVec3Length(&a), lengthB = D3DXVec3Length(&b);
    if (lengthA == 0.0f && lengthB == 0.0f) {
        Place(position, orientation);
        return;
    }
    // the candidate least parallel to the axis; a on a tie
    D3DXVECTOR3 xAxis = lengthB > lengthA ? b / lengthB : a / lengthA;
    D3DXVECTOR3 yAxis;
    D3DXVec3Cross(&yAxis, &axis, &xAxis);
    const D3DXMATRIX aimed(xAxis.x, xAxis.y, xAxis.z, 0.0f, yAxis.x, yAxis.y, yAxis.z, 0.0f, axis.x, axis.y, axis.z,
                           0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    Place(position, aimed);
}
