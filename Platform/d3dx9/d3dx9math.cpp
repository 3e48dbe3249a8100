#include "d3dx9/d3dx9math.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// D3DXVECTOR2

D3DXVECTOR2::D3DXVECTOR2(float fx, float fy) : x(fx), y(fy) {}

D3DXVECTOR2::D3DXVECTOR2(const float* values)
{
    if (values) {
        x = values[0];
        y = values[1];
    }
}

D3DXVECTOR2& D3DXVECTOR2::operator+=(const D3DXVECTOR2& v)
{
    x += v.x;
    y += v.y;
    return *this;
}

D3DXVECTOR2& D3DXVECTOR2::operator-=(const D3DXVECTOR2& v)
{
    x -= v.x;
    y -= v.y;
    return *this;
}

D3DXVECTOR2& D3DXVECTOR2::operator*=(float f)
{
    x *= f;
    y *= f;
    return *this;
}

D3DXVECTOR2& D3DXVECTOR2::operator/=(float f)
{
    const float inv = 1.0f / f;
    x *= inv;
    y *= inv;
    return *this;
}

D3DXVECTOR2 D3DXVECTOR2::operator+() const
{
    return *this;
}

D3DXVECTOR2 D3DXVECTOR2::operator-() const
{
    return D3DXVECTOR2(-x, -y);
}

D3DXVECTOR2 D3DXVECTOR2::operator+(const D3DXVECTOR2& v) const
{
    return D3DXVECTOR2(x + v.x, y + v.y);
}

D3DXVECTOR2 D3DXVECTOR2::operator-(const D3DXVECTOR2& v) const
{
    return D3DXVECTOR2(x - v.x, y - v.y);
}

D3DXVECTOR2 D3DXVECTOR2::operator*(float f) const
{
    return D3DXVECTOR2(x * f, y * f);
}

D3DXVECTOR2 D3DXVECTOR2::operator/(float f) const
{
    const float inv = 1.0f / f;
    return D3DXVECTOR2(x * inv, y * inv);
}

bool D3DXVECTOR2::operator==(const D3DXVECTOR2& v) const
{
    return x == v.x && y == v.y;
}

bool D3DXVECTOR2::operator!=(const D3DXVECTOR2& v) const
{
    return !(*this == v);
}

// ---------------------------------------------------------------------------------------------
// D3DXVECTOR3

D3DXVECTOR3::D3DXVECTOR3(float fx, float fy, float fz) : x(fx), y(fy), z(fz) {}

D3DXVECTOR3::D3DXVECTOR3(const float* values)
{
    if (values) {
        x = values[0];
        y = values[1];
        z = values[2];
    }
}

D3DXVECTOR3& D3DXVECTOR3::operator+=(const D3DXVECTOR3& v)
{
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
}

D3DXVECTOR3& D3DXVECTOR3::operator-=(const D3DXVECTOR3& v)
{
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
}

D3DXVECTOR3& D3DXVECTOR3::operator*=(float f)
{
    x *= f;
    y *= f;
    z *= f;
    return *this;
}

D3DXVECTOR3& D3DXVECTOR3::operator/=(float f)
{
    const float inv = 1.0f / f;
    x *= inv;
    y *= inv;
    z *= inv;
    return *this;
}

D3DXVECTOR3 D3DXVECTOR3::operator+() const
{
    return *this;
}

D3DXVECTOR3 D3DXVECTOR3::operator-() const
{
    return D3DXVECTOR3(-x, -y, -z);
}

D3DXVECTOR3 D3DXVECTOR3::operator+(const D3DXVECTOR3& v) const
{
    return D3DXVECTOR3(x + v.x, y + v.y, z + v.z);
}

D3DXVECTOR3 D3DXVECTOR3::operator-(const D3DXVECTOR3& v) const
{
    return D3DXVECTOR3(x - v.x, y - v.y, z - v.z);
}

D3DXVECTOR3 D3DXVECTOR3::operator*(float f) const
{
    return D3DXVECTOR3(x * f, y * f, z * f);
}

D3DXVECTOR3 D3DXVECTOR3::operator/(float f) const
{
    const float inv = 1.0f / f;
    return D3DXVECTOR3(x * inv, y * inv, z * inv);
}

bool D3DXVECTOR3::operator==(const D3DXVECTOR3& v) const
{
    return x == v.x && y == v.y && z == v.z;
}

bool D3DXVECTOR3::operator!=(const D3DXVECTOR3& v) const
{
    return !(*this == v);
}

// ---------------------------------------------------------------------------------------------
// D3DXVECTOR4

D3DXVECTOR4::D3DXVECTOR4(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}

D3DXVECTOR4::D3DXVECTOR4(const D3DXVECTOR3& xyz, float fw) : x(xyz.x), y(xyz.y), z(xyz.z), w(fw) {}

D3DXVECTOR4::D3DXVECTOR4(const float* values)
{
    if (values) {
        x = values[0];
        y = values[1];
        z = values[2];
        w = values[3];
    }
}

D3DXVECTOR4& D3DXVECTOR4::operator+=(const D3DXVECTOR4& v)
{
    x += v.x;
    y += v.y;
    z += v.z;
    w += v.w;
    return *this;
}

D3DXVECTOR4& D3DXVECTOR4::operator-=(const D3DXVECTOR4& v)
{
    x -= v.x;
    y -= v.y;
    z -= v.z;
    w -= v.w;
    return *this;
}

D3DXVECTOR4& D3DXVECTOR4::operator*=(float f)
{
    x *= f;
    y *= f;
    z *= f;
    w *= f;
    return *this;
}

D3DXVECTOR4& D3DXVECTOR4::operator/=(float f)
{
    const float inv = 1.0f / f;
    x *= inv;
    y *= inv;
    z *= inv;
    w *= inv;
    return *this;
}

D3DXVECTOR4 D3DXVECTOR4::operator+() const
{
    return *this;
}

D3DXVECTOR4 D3DXVECTOR4::operator-() const
{
    return D3DXVECTOR4(-x, -y, -z, -w);
}

D3DXVECTOR4 D3DXVECTOR4::operator+(const D3DXVECTOR4& v) const
{
    return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w);
}

D3DXVECTOR4 D3DXVECTOR4::operator-(const D3DXVECTOR4& v) const
{
    return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w);
}

D3DXVECTOR4 D3DXVECTOR4::operator*(float f) const
{
    return D3DXVECTOR4(x * f, y * f, z * f, w * f);
}

D3DXVECTOR4 D3DXVECTOR4::operator/(float f) const
{
    const float inv = 1.0f / f;
    return D3DXVECTOR4(x * inv, y * inv, z * inv, w * inv);
}

bool D3DXVECTOR4::operator==(const D3DXVECTOR4& v) const
{
    return x == v.x && y == v.y && z == v.z && w == v.w;
}

bool D3DXVECTOR4::operator!=(const D3DXVECTOR4& v) const
{
    return !(*this == v);
}

// ---------------------------------------------------------------------------------------------
// D3DXCOLOR

D3DXCOLOR::D3DXCOLOR(float fr, float fg, float fb, float fa) : r(fr), g(fg), b(fb), a(fa) {}

D3DXCOLOR::D3DXCOLOR(const float* values)
{
    if (values) {
        r = values[0];
        g = values[1];
        b = values[2];
        a = values[3];
    }
}

D3DXCOLOR& D3DXCOLOR::operator+=(const D3DXCOLOR& c)
{
    r += c.r;
    g += c.g;
    b += c.b;
    a += c.a;
    return *this;
}

D3DXCOLOR& D3DXCOLOR::operator-=(const D3DXCOLOR& c)
{
    r -= c.r;
    g -= c.g;
    b -= c.b;
    a -= c.a;
    return *this;
}

D3DXCOLOR& D3DXCOLOR::operator*=(float f)
{
    r *= f;
    g *= f;
    b *= f;
    a *= f;
    return *this;
}

D3DXCOLOR& D3DXCOLOR::operator/=(float f)
{
    const float inv = 1.0f / f;
    r *= inv;
    g *= inv;
    b *= inv;
    a *= inv;
    return *this;
}

D3DXCOLOR D3DXCOLOR::operator+() const
{
    return *this;
}

D3DXCOLOR D3DXCOLOR::operator-() const
{
    return D3DXCOLOR(-r, -g, -b, -a);
}

D3DXCOLOR D3DXCOLOR::operator+(const D3DXCOLOR& c) const
{
    return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a);
}

D3DXCOLOR D3DXCOLOR::operator-(const D3DXCOLOR& c) const
{
    return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a);
}

D3DXCOLOR D3DXCOLOR::operator*(float f) const
{
    return D3DXCOLOR(r * f, g * f, b * f, a * f);
}

D3DXCOLOR D3DXCOLOR::operator/(float f) const
{
    const float inv = 1.0f / f;
    return D3DXCOLOR(r * inv, g * inv, b * inv, a * inv);
}

bool D3DXCOLOR::operator==(const D3DXCOLOR& c) const
{
    return r == c.r && g == c.g && b == c.b && a == c.a;
}

bool D3DXCOLOR::operator!=(const D3DXCOLOR& c) const
{
    return !(*this == c);
}

// ---------------------------------------------------------------------------------------------
// D3DXMATRIX

D3DXMATRIX::D3DXMATRIX()
{
    for (auto& row : m)
        for (float& element : row)
            element = 0.0f;
}

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24,
                       float f31, float f32, float f33, float f34, float f41, float f42, float f43, float f44)
{
    const float values[16] = {f11, f12, f13, f14, f21, f22, f23, f24, f31, f32, f33, f34, f41, f42, f43, f44};
    for (int i = 0; i < 16; ++i)
        m[i / 4][i % 4] = values[i];
}

D3DXMATRIX::D3DXMATRIX(const float* values) : D3DXMATRIX()
{
    if (values)
        for (int i = 0; i < 16; ++i)
            m[i / 4][i % 4] = values[i];
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& other)
{
    D3DXMatrixMultiply(this, this, &other);
    return *this;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const
{
    D3DXMATRIX product;
    D3DXMatrixMultiply(&product, this, &other);
    return product;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const
{
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            if (m[row][col] != other.m[row][col])
                return false;
    return true;
}

bool D3DXMATRIX::operator!=(const D3DXMATRIX& other) const
{
    return !(*this == other);
}

// ---------------------------------------------------------------------------------------------
// D3DXPLANE

D3DXPLANE::D3DXPLANE(float fa, float fb, float fc, float fd) : a(fa), b(fb), c(fc), d(fd) {}

D3DXPLANE::D3DXPLANE(const float* values)
{
    if (values) {
        a = values[0];
        b = values[1];
        c = values[2];
        d = values[3];
    }
}

bool D3DXPLANE::operator==(const D3DXPLANE& p) const
{
    return a == p.a && b == p.b && c == p.c && d == p.d;
}

bool D3DXPLANE::operator!=(const D3DXPLANE& p) const
{
    return !(*this == p);
}

// ---------------------------------------------------------------------------------------------
// D3DXFLOAT16

D3DXFLOAT16::D3DXFLOAT16(float f)
{
    D3DXFloat32To16Array(this, &f, 1);
}

D3DXFLOAT16::operator float() const
{
    float f = 0.0f;
    D3DXFloat16To32Array(&f, this, 1);
    return f;
}

bool D3DXFLOAT16::operator==(const D3DXFLOAT16& other) const
{
    return value == other.value;
}

bool D3DXFLOAT16::operator!=(const D3DXFLOAT16& other) const
{
    return value != other.value;
}

// ---------------------------------------------------------------------------------------------
// Vectors

float D3DXVec2Dot(const D3DXVECTOR2* pV1, const D3DXVECTOR2* pV2)
{
    if (!pV1 || !pV2)
        return 0.0f;
    return pV1->x * pV2->x + pV1->y * pV2->y;
}

float D3DXVec2LengthSq(const D3DXVECTOR2* pV)
{
    return D3DXVec2Dot(pV, pV);
}

float D3DXVec2Length(const D3DXVECTOR2* pV)
{
    return std::sqrt(D3DXVec2LengthSq(pV));
}

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* pOut, const D3DXVECTOR2* pV)
{
    if (!pOut || !pV)
        return nullptr;
    const float length = D3DXVec2Length(pV);
    if (length == 0.0f) {
        *pOut = D3DXVECTOR2();
        return pOut;
    }
    *pOut = D3DXVECTOR2(pV->x / length, pV->y / length);
    return pOut;
}

float D3DXVec3Dot(const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2)
{
    if (!pV1 || !pV2)
        return 0.0f;
    return pV1->x * pV2->x + pV1->y * pV2->y + pV1->z * pV2->z;
}

float D3DXVec3LengthSq(const D3DXVECTOR3* pV)
{
    return D3DXVec3Dot(pV, pV);
}

float D3DXVec3Length(const D3DXVECTOR3* pV)
{
    return std::sqrt(D3DXVec3LengthSq(pV));
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2)
{
    if (!pOut || !pV1 || !pV2)
        return nullptr;
    const D3DXVECTOR3 cross(pV1->y * pV2->z - pV1->z * pV2->y, pV1->z * pV2->x - pV1->x * pV2->z,
                            pV1->x * pV2->y - pV1->y * pV2->x);
    *pOut = cross;
    return pOut;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV)
{
    if (!pOut || !pV)
        return nullptr;
    const float length = D3DXVec3Length(pV);
    if (length == 0.0f) {
        *pOut = D3DXVECTOR3();
        return pOut;
    }
    *pOut = D3DXVECTOR3(pV->x / length, pV->y / length, pV->z / length);
    return pOut;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    const D3DXVECTOR4 v(*pV, 1.0f);
    return D3DXVec4Transform(pOut, &v, pM);
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    D3DXVECTOR4 h;
    D3DXVec3Transform(&h, pV, pM);
    *pOut = D3DXVECTOR3(h.x / h.w, h.y / h.w, h.z / h.w);
    return pOut;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* pOut, const D3DXVECTOR3* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    const auto& m = pM->m;
    const D3DXVECTOR3 v = *pV;
    *pOut = D3DXVECTOR3(v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
                        v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]);
    return pOut;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* pOut, const D3DXVECTOR4* pV, const D3DXMATRIX* pM)
{
    if (!pOut || !pV || !pM)
        return nullptr;
    const auto& m = pM->m;
    const float in[4] = {pV->x, pV->y, pV->z, pV->w};
    float out[4];
    for (int col = 0; col < 4; ++col)
        out[col] = in[0] * m[0][col] + in[1] * m[1][col] + in[2] * m[2][col] + in[3] * m[3][col];
    *pOut = D3DXVECTOR4(out);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Matrices

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* pOut)
{
    if (!pOut)
        return nullptr;
    *pOut = D3DXMATRIX();
    for (int i = 0; i < 4; ++i)
        pOut->m[i][i] = 1.0f;
    return pOut;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* pOut, const D3DXMATRIX* pM1, const D3DXMATRIX* pM2)
{
    if (!pOut || !pM1 || !pM2)
        return nullptr;
    D3DXMATRIX product;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            product.m[row][col] = pM1->m[row][0] * pM2->m[0][col] + pM1->m[row][1] * pM2->m[1][col] +
                                  pM1->m[row][2] * pM2->m[2][col] + pM1->m[row][3] * pM2->m[3][col];
    *pOut = product;
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* pOut, const D3DXMATRIX* pM)
{
    if (!pOut || !pM)
        return nullptr;
    D3DXMATRIX transposed;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            transposed.m[row][col] = pM->m[col][row];
    *pOut = transposed;
    return pOut;
}

namespace {

// The cofactor matrix of m: cofactor[i][j] = (-1)^(i+j) * minor(i, j). Built from the 2x2
// sub-determinants of the upper and lower row pairs.
void Cofactors(const float (&m)[4][4], float (&cofactor)[4][4])
{
    // Sub-determinants of rows 0 and 1 (s) and rows 2 and 3 (c), columns (a, b).
    const float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
    const float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
    const float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
    const float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
    const float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
    const float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];

    const float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
    const float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
    const float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
    const float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
    const float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
    const float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];

    cofactor[0][0] = m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3;
    cofactor[0][1] = -(m[1][0] * c5 - m[1][2] * c2 + m[1][3] * c1);
    cofactor[0][2] = m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0;
    cofactor[0][3] = -(m[1][0] * c3 - m[1][1] * c1 + m[1][2] * c0);

    cofactor[1][0] = -(m[0][1] * c5 - m[0][2] * c4 + m[0][3] * c3);
    cofactor[1][1] = m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1;
    cofactor[1][2] = -(m[0][0] * c4 - m[0][1] * c2 + m[0][3] * c0);
    cofactor[1][3] = m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0;

    cofactor[2][0] = m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3;
    cofactor[2][1] = -(m[3][0] * s5 - m[3][2] * s2 + m[3][3] * s1);
    cofactor[2][2] = m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0;
    cofactor[2][3] = -(m[3][0] * s3 - m[3][1] * s1 + m[3][2] * s0);

    cofactor[3][0] = -(m[2][1] * s5 - m[2][2] * s4 + m[2][3] * s3);
    cofactor[3][1] = m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1;
    cofactor[3][2] = -(m[2][0] * s4 - m[2][1] * s2 + m[2][3] * s0);
    cofactor[3][3] = m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0;
}

float DeterminantFromCofactors(const float (&m)[4][4], const float (&cofactor)[4][4])
{
    return m[0][0] * cofactor[0][0] + m[0][1] * cofactor[0][1] + m[0][2] * cofactor[0][2] + m[0][3] * cofactor[0][3];
}

} // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* pM)
{
    if (!pM)
        return 0.0f;
    float cofactor[4][4];
    Cofactors(pM->m, cofactor);
    return DeterminantFromCofactors(pM->m, cofactor);
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* pOut, float* pDeterminant, const D3DXMATRIX* pM)
{
    if (!pOut || !pM)
        return nullptr;
    float cofactor[4][4];
    Cofactors(pM->m, cofactor);
    const float determinant = DeterminantFromCofactors(pM->m, cofactor);
    if (pDeterminant)
        *pDeterminant = determinant;
    if (determinant == 0.0f)
        return nullptr;

    // The inverse is the transposed cofactor matrix divided by the determinant.
    const float inv = 1.0f / determinant;
    D3DXMATRIX inverse;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            inverse.m[row][col] = cofactor[col][row] * inv;
    *pOut = inverse;
    return pOut;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* pOut, float x, float y, float z)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    pOut->_41 = x;
    pOut->_42 = y;
    pOut->_43 = z;
    return pOut;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* pOut, float sx, float sy, float sz)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    pOut->_11 = sx;
    pOut->_22 = sy;
    pOut->_33 = sz;
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* pOut, float angle)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    pOut->_22 = c;
    pOut->_23 = s;
    pOut->_32 = -s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* pOut, float angle)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    pOut->_11 = c;
    pOut->_13 = -s;
    pOut->_31 = s;
    pOut->_33 = c;
    return pOut;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* pOut, float angle)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    pOut->_11 = c;
    pOut->_12 = s;
    pOut->_21 = -s;
    pOut->_22 = c;
    return pOut;
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* pOut, const D3DXVECTOR3* pEye, const D3DXVECTOR3* pAt,
                               const D3DXVECTOR3* pUp)
{
    if (!pOut || !pEye || !pAt || !pUp)
        return nullptr;
    const D3DXVECTOR3 eye = *pEye;
    const D3DXVECTOR3 back = eye - *pAt;
    D3DXVECTOR3 zaxis;
    D3DXVec3Normalize(&zaxis, &back);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, pUp, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);

    *pOut = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f, //
                       xaxis.y, yaxis.y, zaxis.y, 0.0f, //
                       xaxis.z, yaxis.z, zaxis.z, 0.0f, //
                       -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1.0f);
    return pOut;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* pOut, float fovy, float aspect, float zn, float zf)
{
    if (!pOut)
        return nullptr;
    const float yScale = 1.0f / std::tan(fovy / 2.0f);
    const float xScale = yScale / aspect;
    *pOut = D3DXMATRIX();
    pOut->_11 = xScale;
    pOut->_22 = yScale;
    pOut->_33 = zf / (zn - zf);
    pOut->_34 = -1.0f;
    pOut->_43 = zn * zf / (zn - zf);
    return pOut;
}

D3DXMATRIX* D3DXMatrixOrthoRH(D3DXMATRIX* pOut, float w, float h, float zn, float zf)
{
    if (!D3DXMatrixIdentity(pOut))
        return nullptr;
    pOut->_11 = 2.0f / w;
    pOut->_22 = 2.0f / h;
    pOut->_33 = 1.0f / (zn - zf);
    pOut->_43 = zn / (zn - zf);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Planes

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* pOut, const D3DXVECTOR3* pV1, const D3DXVECTOR3* pV2,
                               const D3DXVECTOR3* pV3)
{
    if (!pOut || !pV1 || !pV2 || !pV3)
        return nullptr;
    const D3DXVECTOR3 edge1 = *pV2 - *pV1;
    const D3DXVECTOR3 edge2 = *pV3 - *pV1;
    D3DXVECTOR3 normal;
    D3DXVec3Cross(&normal, &edge1, &edge2);
    D3DXVec3Normalize(&normal, &normal);
    const float d = -D3DXVec3Dot(&normal, pV1);
    *pOut = D3DXPLANE(normal.x, normal.y, normal.z, d);
    return pOut;
}

// ---------------------------------------------------------------------------------------------
// Half-precision floats

namespace {

std::uint32_t FloatBits(float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float BitsFloat(std::uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Rounds the magnitude right by `shift` bits, to nearest with ties to even.
std::uint32_t ShiftRoundEven(std::uint32_t magnitude, std::uint32_t shift)
{
    const std::uint32_t kept = magnitude >> shift;
    const std::uint32_t rest = magnitude & ((1u << shift) - 1u);
    const std::uint32_t halfway = 1u << (shift - 1u);
    if (rest > halfway || (rest == halfway && (kept & 1u)))
        return kept + 1u;
    return kept;
}

WORD FloatToHalf(float f)
{
    const std::uint32_t bits = FloatBits(f);
    const std::uint32_t sign = (bits >> 16) & 0x8000u;
    const std::uint32_t magnitude = bits & 0x7fffffffu;

    if (magnitude >= 0x7f800000u) {
        if (magnitude == 0x7f800000u)
            return static_cast<WORD>(sign | 0x7c00u);
        // NaN: keep the top payload bits; a payload that lives only in the dropped bits
        // would turn into infinity, so that one becomes the quiet NaN.
        std::uint32_t payload = (magnitude >> 13) & 0x3ffu;
        if (payload == 0)
            payload = 0x200u;
        return static_cast<WORD>(sign | 0x7c00u | payload);
    }
    // 65520 lies halfway between the largest half (65504) and 65536, and rounds to the even
    // neighbour, which is beyond the half range: infinity.
    if (magnitude >= 0x477ff000u)
        return static_cast<WORD>(sign | 0x7c00u);
    // Below the smallest normal half (2^-14): a denormal with unit 2^-24, or zero. Half of
    // that unit (2^-25) and less rounds to zero.
    if (magnitude < 0x38800000u) {
        if (magnitude <= 0x33000000u)
            return static_cast<WORD>(sign);
        const std::uint32_t exponent = magnitude >> 23;
        const std::uint32_t mantissa = (magnitude & 0x7fffffu) | 0x800000u;
        // value = mantissa * 2^(exponent - 150); in units of 2^-24 that is
        // mantissa >> (126 - exponent). A carry into 0x400 is the smallest normal, as it should be.
        return static_cast<WORD>(sign | ShiftRoundEven(mantissa, 126u - exponent));
    }
    // Normal: rebias the exponent from 127 to 15 and round the mantissa from 23 to 10 bits; a
    // carry out of the mantissa correctly steps the exponent.
    return static_cast<WORD>(sign | ShiftRoundEven(magnitude - 0x38000000u, 13u));
}

float HalfToFloat(WORD h)
{
    const std::uint32_t sign = static_cast<std::uint32_t>(h & 0x8000u) << 16;
    const std::uint32_t exponent = (h >> 10) & 0x1fu;
    std::uint32_t mantissa = h & 0x3ffu;

    if (exponent == 0x1f)
        return BitsFloat(sign | 0x7f800000u | (mantissa << 13));
    if (exponent != 0)
        return BitsFloat(sign | ((exponent + 112u) << 23) | (mantissa << 13));
    if (mantissa == 0)
        return BitsFloat(sign);
    // Denormal: normalise the mantissa.
    std::uint32_t floatExponent = 113u;
    while (!(mantissa & 0x400u)) {
        mantissa <<= 1;
        --floatExponent;
    }
    return BitsFloat(sign | (floatExponent << 23) | ((mantissa & 0x3ffu) << 13));
}

} // namespace

D3DXFLOAT16* D3DXFloat32To16Array(D3DXFLOAT16* pOut, const float* pIn, UINT n)
{
    if (!pOut || !pIn)
        return nullptr;
    for (UINT i = 0; i < n; ++i)
        pOut[i].value = FloatToHalf(pIn[i]);
    return pOut;
}

float* D3DXFloat16To32Array(float* pOut, const D3DXFLOAT16* pIn, UINT n)
{
    if (!pOut || !pIn)
        return nullptr;
    for (UINT i = 0; i < n; ++i)
        pOut[i] = HalfToFloat(pIn[i].value);
    return pOut;
}
