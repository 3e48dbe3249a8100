#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "d3dx9/d3dx9math.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTolerance = 1e-5f;

void ExpectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = kTolerance)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected, float tolerance = kTolerance)
{
    for (UINT row = 0; row < 4; ++row)
        for (UINT col = 0; col < 4; ++col)
            EXPECT_NEAR(actual(row, col), expected(row, col), tolerance) << "element " << row + 1 << col + 1;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXMATRIX Scaling(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, x, y, z);
    return m;
}

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

D3DXMATRIX Rotation(char axis, float angle)
{
    D3DXMATRIX m;
    if (axis == 'x')
        D3DXMatrixRotationX(&m, angle);
    else if (axis == 'y')
        D3DXMatrixRotationY(&m, angle);
    else
        D3DXMatrixRotationZ(&m, angle);
    return m;
}

// A general matrix: placement with uneven scale plus a projective last column.
D3DXMATRIX General()
{
    D3DXMATRIX m = Scaling(2.0f, 0.5f, 3.0f) * Rotation('x', 0.3f) * Rotation('y', -1.1f) * Rotation('z', 2.0f) *
                   Translation(4.0f, -2.0f, 7.0f);
    m._14 = 0.25f;
    m._24 = -0.5f;
    m._34 = 0.125f;
    m._44 = 2.0f;
    return m;
}

D3DXVECTOR3 TransformCoord(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

} // namespace

TEST(D3DXMathTest, VectorArithmeticAndAccess)
{
    const D3DXVECTOR3 a(1.0f, 2.0f, 3.0f);
    const D3DXVECTOR3 b(4.0f, -5.0f, 6.0f);
    EXPECT_EQ(a + b, D3DXVECTOR3(5.0f, -3.0f, 9.0f));
    EXPECT_EQ(a - b, D3DXVECTOR3(-3.0f, 7.0f, -3.0f));
    EXPECT_EQ(-a, D3DXVECTOR3(-1.0f, -2.0f, -3.0f));
    EXPECT_EQ(a * 2.0f, D3DXVECTOR3(2.0f, 4.0f, 6.0f));
    EXPECT_EQ(2.0f * a, a * 2.0f);
    EXPECT_EQ(b / 2.0f, D3DXVECTOR3(2.0f, -2.5f, 3.0f));
    EXPECT_NE(a, b);

    D3DXVECTOR3 c = a;
    c += b;
    c -= a;
    EXPECT_EQ(c, b);
    c *= 4.0f;
    c /= 2.0f;
    EXPECT_EQ(c, b * 2.0f);

    const float raw[4] = {7.0f, 8.0f, 9.0f, 10.0f};
    const D3DXVECTOR4 v4(raw);
    const float* back = v4;
    EXPECT_EQ(std::memcmp(back, raw, sizeof raw), 0);
    EXPECT_EQ(D3DXVECTOR4(D3DXVECTOR3(raw), 10.0f), v4);
    EXPECT_EQ(D3DXVECTOR2(raw) * 0.5f + D3DXVECTOR2(1.0f, 1.0f), D3DXVECTOR2(4.5f, 5.0f));

    EXPECT_EQ(D3DXVECTOR3(), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(D3DXVECTOR4(), D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(D3DXMATRIX(), D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));

    const D3DXCOLOR colour = 2.5f * D3DXCOLOR(0.2f, 0.4f, 0.8f, 1.0f);
    const float* channels = colour;
    EXPECT_FLOAT_EQ(channels[0], 0.5f);
    EXPECT_FLOAT_EQ(channels[2], 2.0f);
    EXPECT_FLOAT_EQ(channels[3], 2.5f);
}

TEST(D3DXMathTest, MatrixElementsAgreeAcrossNames)
{
    D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m._12, 2.0f);
    EXPECT_EQ(m._31, 9.0f);
    EXPECT_EQ(m.m[3][2], 15.0f);
    EXPECT_EQ(m(1, 3), 8.0f);
    m(2, 0) = -1.0f;
    EXPECT_EQ(m._31, -1.0f);

    const float* flat = m;
    EXPECT_EQ(flat[4], 5.0f);
    EXPECT_EQ(D3DXMATRIX(flat), m);

    D3DXMATRIX t;
    D3DXMatrixTranspose(&t, &m);
    EXPECT_EQ(t._21, m._12);
    EXPECT_EQ(t._13, m._31);
    D3DXMatrixTranspose(&m, &m);
    EXPECT_EQ(m, t);
}

// Placement order Scaling * Rotation * Translation with D3DX's rotation signs.
TEST(D3DXMathTest, PlacementTransformsPoints)
{
    struct Case {
        const char* name;
        D3DXVECTOR3 scale;
        char axis;
        float angle;
        D3DXVECTOR3 translation;
        D3DXVECTOR3 point;
        D3DXVECTOR3 expected;
    };
    const Case cases[] = {
        {"x turns +Y into +Z", {1, 1, 1}, 'x', kPi / 2, {0, 0, 5}, {0, 1, 0}, {0, 0, 6}},
        {"x turns +Z into -Y", {1, 1, 1}, 'x', kPi / 2, {0, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {"y turns +X into -Z", {1, 1, 1}, 'y', kPi / 2, {0, 0, 0}, {1, 0, 0}, {0, 0, -1}},
        {"y turns +Z into +X", {1, 1, 1}, 'y', kPi / 2, {1, 2, 3}, {0, 0, 1}, {2, 2, 3}},
        {"z turns +X into +Y", {1, 1, 1}, 'z', kPi / 2, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
        {"scale applies before rotation", {2, 3, 4}, 'x', kPi / 2, {0, 0, 5}, {0, 1, 0}, {0, 0, 8}},
        {"translation applies last", {2, 2, 2}, 'z', kPi, {1, 1, 1}, {1, 0, 0}, {-1, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const D3DXMATRIX world = Scaling(c.scale.x, c.scale.y, c.scale.z) * Rotation(c.axis, c.angle) *
                                 Translation(c.translation.x, c.translation.y, c.translation.z);
        ExpectNear(TransformCoord(c.point, world), c.expected);

        D3DXVECTOR4 homogeneous;
        ASSERT_EQ(D3DXVec3Transform(&homogeneous, &c.point, &world), &homogeneous);
        EXPECT_NEAR(homogeneous.w, 1.0f, kTolerance);

        // A direction ignores the translation row.
        D3DXVECTOR3 direction;
        D3DXVec3TransformNormal(&direction, &c.point, &world);
        ExpectNear(direction, c.expected - c.translation);
    }
}

TEST(D3DXMathTest, MultiplyFollowsRowVectorOrderAndAllowsAliasing)
{
    const D3DXMATRIX a = General();
    const D3DXMATRIX b = Rotation('y', 0.7f) * Translation(-3.0f, 1.0f, 2.0f);

    D3DXMATRIX product;
    ASSERT_EQ(D3DXMatrixMultiply(&product, &a, &b), &product);
    // Transforming by a then b equals transforming by a * b.
    const D3DXVECTOR4 v(1.5f, -2.0f, 0.5f, 1.0f);
    D3DXVECTOR4 viaBoth, viaA, viaProduct;
    D3DXVec4Transform(&viaA, &v, &a);
    D3DXVec4Transform(&viaBoth, &viaA, &b);
    D3DXVec4Transform(&viaProduct, &v, &product);
    EXPECT_NEAR(viaProduct.x, viaBoth.x, 1e-4f);
    EXPECT_NEAR(viaProduct.y, viaBoth.y, 1e-4f);
    EXPECT_NEAR(viaProduct.z, viaBoth.z, 1e-4f);
    EXPECT_NEAR(viaProduct.w, viaBoth.w, 1e-4f);
    EXPECT_NE(product, b * a);

    struct Case {
        const char* name;
        D3DXMATRIX start;
        bool firstIsOut;
        bool secondIsOut;
        D3DXMATRIX expected;
    };
    const Case cases[] = {
        {"out is first", a, true, false, a * b},
        {"out is second", b, false, true, a * b},
        {"out is both", a, true, true, a * a},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3DXMATRIX out = c.start;
        ASSERT_EQ(D3DXMatrixMultiply(&out, c.firstIsOut ? &out : &a, c.secondIsOut ? &out : &b), &out);
        EXPECT_EQ(out, c.expected);
    }

    D3DXMATRIX accumulated = a;
    accumulated *= b;
    EXPECT_EQ(accumulated, product);
}

TEST(D3DXMathTest, DeterminantOfKnownMatrices)
{
    struct Case {
        const char* name;
        D3DXMATRIX m;
        float determinant;
    };
    const Case cases[] = {
        {"identity", Identity(), 1.0f},
        {"scaling", Scaling(2.0f, 3.0f, 4.0f), 24.0f},
        {"rotation", Rotation('y', 0.8f) * Rotation('x', -0.4f), 1.0f},
        {"swapped rows", D3DXMATRIX(0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1), -1.0f},
        {"coupled corner", D3DXMATRIX(2, 0, 0, 1, 0, 3, 0, 0, 0, 0, 4, 0, 1, 0, 0, 1), 12.0f},
        {"full", D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 2, 6, 4, 8, 3, 1, 1, 2), 72.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(D3DXMatrixDeterminant(&c.m), c.determinant, 1e-4f);
    }
}

TEST(D3DXMathTest, InverseUndoesMatrix)
{
    const D3DXMATRIX matrices[] = {General(), Scaling(2.0f, 3.0f, 4.0f) * Translation(1.0f, 2.0f, 3.0f),
                                   D3DXMATRIX(1, 2, 3, 4, 5, 6, 7, 8, 2, 6, 4, 8, 3, 1, 1, 2)};
    for (const D3DXMATRIX& m : matrices) {
        D3DXMATRIX inverse;
        float determinant = 0.0f;
        ASSERT_EQ(D3DXMatrixInverse(&inverse, &determinant, &m), &inverse);
        EXPECT_NEAR(determinant, D3DXMatrixDeterminant(&m), 1e-4f);
        ExpectNear(inverse * m, Identity(), 1e-4f);
        ExpectNear(m * inverse, Identity(), 1e-4f);

        // In place, without asking for the determinant.
        D3DXMATRIX inPlace = m;
        ASSERT_EQ(D3DXMatrixInverse(&inPlace, nullptr, &inPlace), &inPlace);
        EXPECT_EQ(inPlace, inverse);
    }
}

TEST(D3DXMathTest, SingularMatrixHasNoInverse)
{
    const D3DXMATRIX singular[] = {
        D3DXMATRIX(),
        Scaling(1.0f, 0.0f, 1.0f),
        D3DXMATRIX(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 5, 1, 2, 0),
    };
    for (const D3DXMATRIX& m : singular) {
        D3DXMATRIX out = General();
        float determinant = 99.0f;
        EXPECT_EQ(D3DXMatrixInverse(&out, &determinant, &m), nullptr);
        EXPECT_EQ(determinant, 0.0f);
        EXPECT_EQ(out, General()) << "a failed inverse must leave the output alone";
    }
}

TEST(D3DXMathTest, PerspectiveFovRHMapsFrustumToClipSpace)
{
    const float fovy = kPi / 3.0f;
    const float aspect = 16.0f / 9.0f;
    const float zn = 0.5f;
    const float zf = 100.0f;
    D3DXMATRIX projection;
    ASSERT_EQ(D3DXMatrixPerspectiveFovRH(&projection, fovy, aspect, zn, zf), &projection);
    EXPECT_EQ(projection._34, -1.0f);
    EXPECT_EQ(projection._44, 0.0f);

    const float halfHeight = std::tan(fovy / 2.0f); // at distance 1
    struct Case {
        const char* name;
        D3DXVECTOR3 view;
        D3DXVECTOR3 expected;
    };
    const Case cases[] = {
        {"near plane on the axis", {0, 0, -zn}, {0, 0, 0}},
        {"far plane on the axis", {0, 0, -zf}, {0, 0, 1}},
        {"top edge", {0, halfHeight * 10.0f, -10.0f}, {0, 1, zf / (zf - zn) * (1.0f - zn / 10.0f)}},
        {"right edge", {aspect * halfHeight * 4.0f, 0, -4.0f}, {1, 0, zf / (zf - zn) * (1.0f - zn / 4.0f)}},
        {"bottom-left corner of the far plane",
         {-aspect * halfHeight * zf, -halfHeight * zf, -zf},
         {-1, -1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectNear(TransformCoord(c.view, projection), c.expected, 1e-4f);
    }

    // Between the planes on the view axis: centred, depth strictly inside 0..1.
    const D3DXVECTOR3 middle = TransformCoord(D3DXVECTOR3(0, 0, -10.0f), projection);
    EXPECT_NEAR(middle.x, 0.0f, kTolerance);
    EXPECT_NEAR(middle.y, 0.0f, kTolerance);
    EXPECT_GT(middle.z, 0.0f);
    EXPECT_LT(middle.z, 1.0f);
}

TEST(D3DXMathTest, OrthoRHMapsBoxToClipSpace)
{
    D3DXMATRIX projection;
    ASSERT_EQ(D3DXMatrixOrthoRH(&projection, 8.0f, 4.0f, 1.0f, 11.0f), &projection);
    ExpectNear(TransformCoord(D3DXVECTOR3(4.0f, 2.0f, -1.0f), projection), D3DXVECTOR3(1, 1, 0));
    ExpectNear(TransformCoord(D3DXVECTOR3(-4.0f, -2.0f, -11.0f), projection), D3DXVECTOR3(-1, -1, 1));
    ExpectNear(TransformCoord(D3DXVECTOR3(0.0f, 1.0f, -6.0f), projection), D3DXVECTOR3(0, 0.5f, 0.5f));
}

TEST(D3DXMathTest, LookAtRHPutsEyeAtOriginAndTargetOnMinusZ)
{
    const D3DXVECTOR3 eye(3.0f, 4.0f, 5.0f);
    const D3DXVECTOR3 at(1.0f, 2.0f, -1.0f);
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX view;
    ASSERT_EQ(D3DXMatrixLookAtRH(&view, &eye, &at, &up), &view);

    const D3DXVECTOR3 toTarget = at - eye;
    ExpectNear(TransformCoord(eye, view), D3DXVECTOR3(0, 0, 0));
    ExpectNear(TransformCoord(at, view), D3DXVECTOR3(0, 0, -D3DXVec3Length(&toTarget)));

    // Right of the viewer is +X and above is +Y.
    D3DXVECTOR3 right;
    D3DXVec3Cross(&right, &toTarget, &up);
    EXPECT_GT(TransformCoord(eye + right, view).x, 0.0f);
    EXPECT_GT(TransformCoord(eye + up, view).y, 0.0f);

    // A view is a rigid motion.
    EXPECT_NEAR(D3DXMatrixDeterminant(&view), 1.0f, kTolerance);
}

TEST(D3DXMathTest, VectorProducts)
{
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    D3DXVECTOR3 cross;
    ASSERT_EQ(D3DXVec3Cross(&cross, &x, &y), &cross);
    EXPECT_EQ(cross, z);
    D3DXVec3Cross(&cross, &z, &y);
    EXPECT_EQ(cross, -x);

    D3DXVECTOR3 a(1, 2, 3);
    const D3DXVECTOR3 b(-2, 0.5f, 4);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 11.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&a), 14.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a), std::sqrt(14.0f));
    D3DXVec3Cross(&a, &a, &b); // in place
    ExpectNear(a, D3DXVECTOR3(6.5f, -10.0f, 4.5f));

    const D3DXVECTOR2 p(3, 4), q(-1, 2);
    EXPECT_FLOAT_EQ(D3DXVec2Dot(&p, &q), 5.0f);
    EXPECT_FLOAT_EQ(D3DXVec2Length(&p), 5.0f);
}

TEST(D3DXMathTest, NormalizeGivesUnitLengthAndKeepsZero)
{
    const D3DXVECTOR3 inputs[] = {{3, 4, 12}, {-1e-20f, 0, 0}, {1e19f, -1e19f, 0}, {0, 0, 0}};
    for (const D3DXVECTOR3& v : inputs) {
        D3DXVECTOR3 n;
        ASSERT_EQ(D3DXVec3Normalize(&n, &v), &n);
        if (v == D3DXVECTOR3()) {
            EXPECT_EQ(n, D3DXVECTOR3());
        } else {
            EXPECT_NEAR(D3DXVec3Length(&n), 1.0f, kTolerance);
            EXPECT_GT(D3DXVec3Dot(&n, &v), 0.0f);
        }
    }
    D3DXVECTOR2 zero2;
    D3DXVec2Normalize(&zero2, &zero2);
    EXPECT_EQ(zero2, D3DXVECTOR2());
    D3DXVECTOR2 v2(0, -7);
    D3DXVec2Normalize(&v2, &v2);
    EXPECT_EQ(v2, D3DXVECTOR2(0, -1));
}

TEST(D3DXMathTest, PlaneFromPoints)
{
    struct Case {
        const char* name;
        D3DXVECTOR3 p1, p2, p3;
        D3DXPLANE expected;
    };
    const float r = 1.0f / std::sqrt(2.0f);
    const Case cases[] = {
        {"z = 1, counter-clockwise", {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 0, 1, -1}},
        {"z = 1, clockwise", {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {0, 0, -1, 1}},
        {"tilted x + y = 2", {2, 0, 0}, {0, 2, 0}, {2, 0, 5}, {r, r, 0, -2 * r}},
        {"collinear points", {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        D3DXPLANE plane;
        ASSERT_EQ(D3DXPlaneFromPoints(&plane, &c.p1, &c.p2, &c.p3), &plane);
        EXPECT_NEAR(plane.a, c.expected.a, kTolerance);
        EXPECT_NEAR(plane.b, c.expected.b, kTolerance);
        EXPECT_NEAR(plane.c, c.expected.c, kTolerance);
        EXPECT_NEAR(plane.d, c.expected.d, kTolerance);
        for (const D3DXVECTOR3* p : {&c.p1, &c.p2, &c.p3})
            EXPECT_NEAR(plane.a * p->x + plane.b * p->y + plane.c * p->z + plane.d, 0.0f, kTolerance);
    }
}

TEST(D3DXMathTest, NullArgumentsWriteNothing)
{
    D3DXMATRIX m = General();
    D3DXVECTOR3 v(1, 2, 3);
    D3DXVECTOR4 v4;
    D3DXPLANE plane;
    float f = 0.0f;
    D3DXFLOAT16 h;
    EXPECT_EQ(D3DXMatrixMultiply(&m, nullptr, &m), nullptr);
    EXPECT_EQ(D3DXMatrixInverse(&m, nullptr, nullptr), nullptr);
    EXPECT_EQ(D3DXMatrixIdentity(nullptr), nullptr);
    EXPECT_EQ(D3DXMatrixLookAtRH(&m, &v, nullptr, &v), nullptr);
    EXPECT_EQ(D3DXVec3TransformCoord(&v, &v, nullptr), nullptr);
    EXPECT_EQ(D3DXVec3Transform(&v4, nullptr, &m), nullptr);
    EXPECT_EQ(D3DXVec3Normalize(nullptr, &v), nullptr);
    EXPECT_EQ(D3DXPlaneFromPoints(&plane, &v, &v, nullptr), nullptr);
    EXPECT_EQ(D3DXFloat32To16Array(&h, nullptr, 1), nullptr);
    EXPECT_EQ(D3DXFloat16To32Array(&f, nullptr, 1), nullptr);
    EXPECT_EQ(D3DXVec3Length(nullptr), 0.0f);
    EXPECT_EQ(m, General());
    EXPECT_EQ(v, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(v4, D3DXVECTOR4());
}

// ---------------------------------------------------------------------------------------------
// Half-precision conversion

namespace {

float FromBits(std::uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

WORD ToHalf(float f)
{
    D3DXFLOAT16 h;
    D3DXFloat32To16Array(&h, &f, 1);
    return h.value;
}

float FromHalf(WORD bits)
{
    D3DXFLOAT16 h;
    h.value = bits;
    float f = 0.0f;
    D3DXFloat16To32Array(&f, &h, 1);
    return f;
}

bool IsNaNHalf(WORD bits)
{
    return (bits & 0x7c00u) == 0x7c00u && (bits & 0x3ffu) != 0;
}

} // namespace

TEST(D3DXMathTest, Float32To16Table)
{
    struct Case {
        const char* name;
        float value;
        WORD expected;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {"one", 1.0f, 0x3C00},
        {"minus two", -2.0f, 0xC000},
        {"zero", 0.0f, 0x0000},
        {"minus zero", -0.0f, 0x8000},
        {"largest half", 65504.0f, 0x7BFF},
        {"just below the overflow tie", 65519.0f, 0x7BFF},
        {"overflow tie rounds to even: infinity", 65520.0f, 0x7C00},
        {"beyond the range", 70000.0f, 0x7C00},
        {"negative beyond the range", -1e10f, 0xFC00},
        {"infinity", inf, 0x7C00},
        {"minus infinity", -inf, 0xFC00},
        {"a third rounds to nearest", 0.333333f, 0x3555},
        {"tie 1 + 2^-11 rounds down to even", 1.0f + std::ldexp(1.0f, -11), 0x3C00},
        {"tie 1 + 3*2^-11 rounds up to even", 1.0f + 3.0f * std::ldexp(1.0f, -11), 0x3C02},
        {"above the tie rounds up", 1.0f + std::ldexp(1.0f, -11) + std::ldexp(1.0f, -20), 0x3C01},
        {"mantissa carry steps the exponent", 2.0f - std::ldexp(1.0f, -12), 0x4000},
        {"smallest normal", std::ldexp(1.0f, -14), 0x0400},
        {"largest denormal", std::ldexp(1023.0f, -24), 0x03FF},
        {"denormal rounding carries into the smallest normal", std::ldexp(1023.75f, -24), 0x0400},
        {"smallest denormal", std::ldexp(1.0f, -24), 0x0001},
        {"half the smallest denormal ties to zero", std::ldexp(1.0f, -25), 0x0000},
        {"just above that rounds up", std::ldexp(1.5f, -25), 0x0001},
        {"denormal tie rounds to even", std::ldexp(2.5f, -24), 0x0002},
        {"tiny 1e-8", 1e-8f, 0x0000},
        {"negative tiny", -1e-8f, 0x8000},
        {"float denormal", FromBits(0x00000001u), 0x0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToHalf(c.value), c.expected) << std::hex << ToHalf(c.value);
    }

    const float nans[] = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                          FromBits(0x7f800001u), FromBits(0xffc00000u)};
    for (float nan : nans) {
        const WORD h = ToHalf(nan);
        EXPECT_TRUE(IsNaNHalf(h)) << std::hex << h;
        EXPECT_TRUE(std::isnan(FromHalf(h)));
    }
}

TEST(D3DXMathTest, Float16RoundTripsEveryHalf)
{
    std::vector<D3DXFLOAT16> halves(65536);
    for (std::uint32_t i = 0; i < 65536; ++i)
        halves[i].value = static_cast<WORD>(i);
    std::vector<float> floats(halves.size());
    ASSERT_EQ(D3DXFloat16To32Array(floats.data(), halves.data(), static_cast<UINT>(halves.size())), floats.data());
    std::vector<D3DXFLOAT16> back(halves.size());
    ASSERT_EQ(D3DXFloat32To16Array(back.data(), floats.data(), static_cast<UINT>(floats.size())), back.data());

    for (std::uint32_t i = 0; i < 65536; ++i) {
        const WORD h = static_cast<WORD>(i);
        ASSERT_EQ(back[i].value, h) << std::hex << i;
        ASSERT_EQ(IsNaNHalf(h), std::isnan(floats[i])) << std::hex << i;
    }
    // Known values on the way out.
    EXPECT_EQ(floats[0x3C00], 1.0f);
    EXPECT_EQ(floats[0xC000], -2.0f);
    EXPECT_EQ(floats[0x7BFF], 65504.0f);
    EXPECT_EQ(floats[0x0001], std::ldexp(1.0f, -24));
    EXPECT_EQ(floats[0x8000], 0.0f);
    EXPECT_TRUE(std::signbit(floats[0x8000]));
    EXPECT_EQ(floats[0x7C00], std::numeric_limits<float>::infinity());

    // The wrapper type converts the same way.
    EXPECT_EQ(D3DXFLOAT16(1.0f).value, 0x3C00);
    EXPECT_EQ(static_cast<float>(D3DXFLOAT16(-2.0f)), -2.0f);
}

// Every finite float in the half range becomes one of the (at most two) nearest halves.
TEST(D3DXMathTest, Float32To16PicksNearestHalf)
{
    const std::uint32_t kLargestInRange = 0x477fefffu; // just below 65520
    for (std::uint32_t bits = 0; bits <= kLargestInRange; bits += 4099u) {
        for (std::uint32_t sign : {0u, 0x80000000u}) {
            const float f = FromBits(bits | sign);
            const WORD h = ToHalf(f);
            const float rounded = FromHalf(h);
            const double error = std::fabs(static_cast<double>(rounded) - f);
            ASSERT_EQ(std::signbit(rounded), std::signbit(f)) << std::hex << bits;
            for (int step : {-1, 1}) {
                const WORD neighbour = static_cast<WORD>((h & 0x7fffu) + step);
                if ((h & 0x7fffu) == 0 && step < 0)
                    continue;
                const float other = FromHalf(static_cast<WORD>(neighbour | (h & 0x8000u)));
                ASSERT_LE(error, std::fabs(static_cast<double>(other) - f))
                    << "float bits " << std::hex << (bits | sign) << " -> " << h;
            }
        }
    }
}
