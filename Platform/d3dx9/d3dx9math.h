#pragma once
#include "win32/WinTypes.h"

// The D3DX 9 vector and matrix maths the demo's code calls: the same type names, members,
// function names, arguments and results. Matrices use row vectors (v' = v * M), so a
// placement composes as Scaling * Rotation * Translation. Every function writes through its
// output pointer, returns that pointer, and works when the output is also one of the inputs.
// A null argument makes a function return null (or 0 for a scalar result) without writing.
// Default-constructed values are zero.

#define D3DX_PI ((float)3.141592654f)
#define D3DX_1BYPI ((float)0.318309886f)

struct D3DXVECTOR2 {
    float x = 0.0f;
    float y = 0.0f;

    D3DXVECTOR2() = default;
    D3DXVECTOR2(float fx, float fy);
    explicit D3DXVECTOR2(const float* values);

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v);
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v);
    D3DXVECTOR2& operator*=(float f);
    D3DXVECTOR2& operator/=(float f);

    D3DXVECTOR2 operator+() const;
    D3DXVECTOR2 operator-() const;
    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const;
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const;
    D3DXVECTOR2 operator*(float f) const;
    D3DXVECTOR2 operator/(float f) const;
    friend D3DXVECTOR2 operator*(float f, const D3DXVECTOR2& v) { return v * f; }

    bool operator==(const D3DXVECTOR2& v) const;
    bool operator!=(const D3DXVECTOR2& v) const;
};

struct D3DXVECTOR3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    D3DXVECTOR3() = default;
    D3DXVECTOR3(float fx, float fy, float fz);
    explicit D3DXVECTOR3(const float* values);

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v);
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v);
    D3DXVECTOR3& operator*=(float f);
    D3DXVECTOR3& operator/=(float f);

    D3DXVECTOR3 operator+() const;
    D3DXVECTOR3 operator-() const;
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const;
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const;
    D3DXVECTOR3 operator*(float f) const;
    D3DXVECTOR3 operator/(float f) const;
    friend D3DXVECTOR3 operator*(float f, const D3DXVECTOR3& v) { return v * f; }

    bool operator==(const D3DXVECTOR3& v) const;
    bool operator!=(const D3DXVECTOR3& v) const;
};

struct D3DXVECTOR4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    D3DXVECTOR4() = default;
    D3DXVECTOR4(float fx, float fy, float fz, float fw);
    D3DXVECTOR4(const D3DXVECTOR3& xyz, float fw);
    explicit D3DXVECTOR4(const float* values);

    operator float*() { return &x; }
    operator const float*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v);
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v);
    D3DXVECTOR4& operator*=(float f);
    D3DXVECTOR4& operator/=(float f);

    D3DXVECTOR4 operator+() const;
    D3DXVECTOR4 operator-() const;
    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const;
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const;
    D3DXVECTOR4 operator*(float f) const;
    D3DXVECTOR4 operator/(float f) const;
    friend D3DXVECTOR4 operator*(float f, const D3DXVECTOR4& v) { return v * f; }

    bool operator==(const D3DXVECTOR4& v) const;
    bool operator!=(const D3DXVECTOR4& v) const;
};

// A colour with float channels; arithmetic works on all four channels alike.
struct D3DXCOLOR {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;

    D3DXCOLOR() = default;
    D3DXCOLOR(float fr, float fg, float fb, float fa);
    explicit D3DXCOLOR(const float* values);

    operator float*() { return &r; }
    operator const float*() const { return &r; }

    D3DXCOLOR& operator+=(const D3DXCOLOR& c);
    D3DXCOLOR& operator-=(const D3DXCOLOR& c);
    D3DXCOLOR& operator*=(float f);
    D3DXCOLOR& operator/=(float f);

    D3DXCOLOR operator+() const;
    D3DXCOLOR operator-() const;
    D3DXCOLOR operator+(const D3DXCOLOR& c) const;
    D3DXCOLOR operator-(const D3DXCOLOR& c) const;
    D3DXCOLOR operator*(float f) const;
    D3DXCOLOR operator/(float f) const;
    friend D3DXCOLOR operator*(float f, const D3DXCOLOR& c) { return c * f; }

    bool operator==(const D3DXCOLOR& c) const;
    bool operator!=(const D3DXCOLOR& c) const;
};

// The elements are reachable both as _11 ... _44 (row, column) and as m[row][column].
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
struct D3DXMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };

    D3DXMATRIX();
    D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24, float f31,
               float f32, float f33, float f34, float f41, float f42, float f43, float f44);
    explicit D3DXMATRIX(const float* values);

    float& operator()(UINT row, UINT col) { return m[row][col]; }
    float operator()(UINT row, UINT col) const { return m[row][col]; }

    operator float*() { return &m[0][0]; }
    operator const float*() const { return &m[0][0]; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& other);
    D3DXMATRIX operator*(const D3DXMATRIX& other) const;

    bool operator==(const D3DXMATRIX& other) const;
    bool operator!=(const D3DXMATRIX& other) const;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// The plane a*x + b*y + c*z + d = 0.
struct D3DXPLANE {
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 0.0f;

    D3DXPLANE() = default;
    D3DXPLANE(float fa, float fb, float fc, float fd);
    explicit D3DXPLANE(const float* values);

    operator float*() { return &a; }
    operator const float*() const { return &a; }

    bool operator==(const D3DXPLANE& p) const;
    bool operator!=(const D3DXPLANE& p) const;
};

// An IEEE 754 half-precision float, held as its 16 bits.
struct D3DXFLOAT16 {
    WORD value = 0;

    D3DXFLOAT16() = default;
    D3DXFLOAT16(float f);
    operator float() const;

    // Compares the stored bits.
    bool operator==(const D3DXFLOAT16& other) const;
    bool operator!=(const D3DXFLOAT16& other) const;
};

static_assert(sizeof(D3DXVECTOR2) == 2 * sizeof(float), "D3DXVECTOR2 must be two packed floats");
static_assert(sizeof(D3DXVECTOR3) == 3 * sizeof(float), "D3DXVECTOR3 must be three packed floats");
static_assert(sizeof(D3DXVECTOR4) == 4 * sizeof(float), "D3DXVECTOR4 must be four packed floats");
static_assert(sizeof(D3DXCOLOR) == 4 * sizeof(float), "D3DXCOLOR must be four packed floats");
static_assert(sizeof(D3DXMATRIX) == 16 * sizeof(float), "D3DXMATRIX must be sixteen packed floats");
static_assert(sizeof(D3DXPLANE) == 4 * sizeof(float), "D3DXPLANE must be four packed floats");
static_assert(sizeof(D3DXFLOAT16) == 2, "D3DXFLOAT16 must be 16 bits");

// 2-D vectors.
float D3DXVec2Dot(const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2);
float D3DXVec2Length(const D3DXVECTOR2* pV);
float D3DXVec2LengthSq(const D3DXVECTOR2* pV);
// A zero vector stays zero.
D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV);

// 3-D vectors.
float D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
float D3DXVec3Length(const D3DXVECTOR3* pV);
float D3DXVec3LengthSq(const D3DXVECTOR3* pV);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2);
// A zero vector stays zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV);
// (x, y, z, 1) * M, w included.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 1) * M, divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);
// (x, y, z, 0) * M: the upper 3x3 part only, no translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM);

// 4-D vectors.
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM);

// Matrices.
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut);
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM);
float D3DXMatrixDeterminant(const D3DXMATRIX* pM);
// Stores the determinant through pDeterminant when that is not null. A singular matrix
// (determinant 0) has no inverse: the result is null and pOut is left as it was.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle);
// Right-handed view looking from pEye towards pAt: the camera looks along its -Z axis.
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp);
// Right-handed projections onto depth 0 (near plane) ... 1 (far plane).
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf);
D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* pOut, float w, float h, float zn, float zf);

// Planes. Collinear points give the zero plane.
D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2,
                               const D3DXVECTOR3* pV3);

// Half-precision conversion, rounding to nearest with ties to even. Values beyond the half
// range become infinity, infinities stay infinite, NaNs stay NaN and tiny values become
// denormals or zero.
D3DXFLOAT16* D3DXFloat32To16Array(D3DXFLOAT16* pOut, const float* pIn, UINT n);
float* D3DXFloat16To32Array(float* pOut, const D3DXFLOAT16* pIn, UINT n);
