#include "PerlinNoise.h"

#include <cmath>
#include <utility>

#include "ResourceOwner.h"
#include "crt/CRand.h"

namespace {

// One gradient component from a draw: ((r mod 512) - 256) / 256, in [-1, 1).
float GradientComponent(int r)
{
    const int bucket = static_cast<int>(static_cast<unsigned>(r) % 512u);
    return static_cast<float>(bucket - 256) / 256.0f;
}

// Draws the components of one gradient and scales it to unit length, drawing again while
// all components are 0.
template <int Size>
void DrawUnitGradient(float (&gradient)[Size], const std::function<int()>& random)
{
    for (;;) {
        float lengthSq = 0.0f;
        for (float& component : gradient) {
            component = GradientComponent(random());
            lengthSq += component * component;
        }
        if (lengthSq > 0.0f) {
            const float length = std::sqrt(lengthSq);
            for (float& component : gradient)
                component /= length;
            return;
        }
    }
}

PerlinNoiseTables tables;
bool tablesPending = true;

const PerlinNoiseTables& Tables()
{
    if (tablesPending) {
        // From a stream of their own, which starts where a new process starts: the lattice is the
        // same whenever and wherever the first noise is asked for.
        RandomStreamScope stream(1u);
        tables.Build([] { return crt::rand(); });
        tablesPending = false;
    }
    return tables;
}

// The lattice cell around one coordinate: corner indices b0 and b1 = b0 + 1 (both mod 256)
// and the offsets r0 (from corner b0, in [0, 1)) and r1 = r0 - 1 (from corner b1). The
// coordinate is shifted by 4096 so that the usual range truncates like a floor.
struct LatticeCell {
    int b0;
    int b1;
    float r0;
    float r1;
};

LatticeCell Setup(float c)
{
    const float t = c + 4096.0f;
    const float whole = std::trunc(t);
    int cornerBits = 0;
    if (std::fabs(whole) < 2147483648.0f)
        cornerBits = static_cast<int>(whole);
    else if (std::isfinite(whole))
        // Beyond the int range only the low 8 bits matter; the remainder keeps them exactly.
        cornerBits = static_cast<int>(std::fmod(whole, 256.0f));
    // A NaN or infinite coordinate keeps corner 0 and yields a NaN offset, so the noise is
    // NaN too instead of an out-of-range conversion.
    LatticeCell cell;
    cell.b0 = cornerBits & 255;
    cell.b1 = (cell.b0 + 1) & 255;
    cell.r0 = t - whole;
    cell.r1 = cell.r0 - 1.0f;
    return cell;
}

float SCurve(float r)
{
    return r * r * (3.0f - 2.0f * r);
}

float Lerp(float s, float a, float b)
{
    return a + s * (b - a);
}

float At2(const float (&q)[2], float rx, float ry)
{
    return rx * q[0] + ry * q[1];
}

float At3(const float (&q)[3], float rx, float ry, float rz)
{
    return rx * q[0] + ry * q[1] + rz * q[2];
}

} // namespace

void PerlinNoiseTables::Build(const std::function<int()>& random)
{
    for (int i = 0; i < kLattice; ++i) {
        perm[i] = i;
        grad1[i] = GradientComponent(random());
        DrawUnitGradient(grad2[i], random);
        DrawUnitGradient(grad3[i], random);
    }

    for (int i = kLattice - 1; i > 0; --i) {
        const int j = static_cast<int>(static_cast<unsigned>(random()) % static_cast<unsigned>(kLattice));
        std::swap(perm[i], perm[j]);
    }

    for (int i = 0; i < kLattice + 2; ++i) {
        perm[kLattice + i] = perm[i];
        grad1[kLattice + i] = grad1[i];
        grad2[kLattice + i][0] = grad2[i][0];
        grad2[kLattice + i][1] = grad2[i][1];
        grad3[kLattice + i][0] = grad3[i][0];
        grad3[kLattice + i][1] = grad3[i][1];
        grad3[kLattice + i][2] = grad3[i][2];
    }
}

float Noise1(float x)
{
    const PerlinNoiseTables& t = Tables();
    const LatticeCell cx = Setup(x);
    const float u = cx.r0 * t.grad1[t.perm[cx.b0]];
    const float v = cx.r1 * t.grad1[t.perm[cx.b1]];
    return Lerp(SCurve(cx.r0), u, v);
}

float Noise2(const float v[2])
{
    const PerlinNoiseTables& t = Tables();
    const LatticeCell cx = Setup(v[0]);
    const LatticeCell cy = Setup(v[1]);

    const int i = t.perm[cx.b0];
    const int j = t.perm[cx.b1];
    const int b00 = t.perm[i + cy.b0];
    const int b10 = t.perm[j + cy.b0];
    const int b01 = t.perm[i + cy.b1];
    const int b11 = t.perm[j + cy.b1];

    const float sx = SCurve(cx.r0);
    const float sy = SCurve(cy.r0);

    const float a = Lerp(sx, At2(t.grad2[b00], cx.r0, cy.r0), At2(t.grad2[b10], cx.r1, cy.r0));
    const float b = Lerp(sx, At2(t.grad2[b01], cx.r0, cy.r1), At2(t.grad2[b11], cx.r1, cy.r1));
    return Lerp(sy, a, b);
}

float Noise3(const float v[3])
{
    const PerlinNoiseTables& t = Tables();
    const LatticeCell cx = Setup(v[0]);
    const LatticeCell cy = Setup(v[1]);
    const LatticeCell cz = Setup(v[2]);

    const int i = t.perm[cx.b0];
    const int j = t.perm[cx.b1];
    const int b00 = t.perm[i + cy.b0];
    const int b10 = t.perm[j + cy.b0];
    const int b01 = t.perm[i + cy.b1];
    const int b11 = t.perm[j + cy.b1];

    const float sx = SCurve(cx.r0);
    const float sy = SCurve(cy.r0);
    const float sz = SCurve(cz.r0);

    // Near z plane.
    float a = Lerp(sx, At3(t.grad3[b00 + cz.b0], cx.r0, cy.r0, cz.r0), At3(t.grad3[b10 + cz.b0], cx.r1, cy.r0, cz.r0));
    float b = Lerp(sx, At3(t.grad3[b01 + cz.b0], cx.r0, cy.r1, cz.r0), At3(t.grad3[b11 + cz.b0], cx.r1, cy.r1, cz.r0));
    const float nearPlane = Lerp(sy, a, b);

    // Far z plane.
    a = Lerp(sx, At3(t.grad3[b00 + cz.b1], cx.r0, cy.r0, cz.r1), At3(t.grad3[b10 + cz.b1], cx.r1, cy.r0, cz.r1));
    b = Lerp(sx, At3(t.grad3[b01 + cz.b1], cx.r0, cy.r1, cz.r1), At3(t.grad3[b11 + cz.b1], cx.r1, cy.r1, cz.r1));
    const float farPlane = Lerp(sy, a, b);

    return Lerp(sz, nearPlane, farPlane);
}

float PerlinNoise1D(float x, float alpha, float beta, int n)
{
    float sum = 0.0f;
    float scale = 1.0f;
    float p = x;
    for (int i = 0; i < n; ++i) {
        sum += Noise1(p) / scale;
        scale *= alpha;
        p *= beta;
    }
    return sum;
}

float PerlinNoise2D(float x, float y, float alpha, float beta, int n)
{
    float sum = 0.0f;
    float scale = 1.0f;
    float p[2] = {x, y};
    for (int i = 0; i < n; ++i) {
        sum += Noise2(p) / scale;
        scale *= alpha;
        p[0] *= beta;
        p[1] *= beta;
    }
    return sum;
}

float PerlinNoise3D(float x, float y, float z, float alpha, float beta, int n)
{
    float sum = 0.0f;
    float scale = 1.0f;
    float p[3] = {x, y, z};
    for (int i = 0; i < n; ++i) {
        sum += Noise3(p) / scale;
        scale *= alpha;
        p[0] *= beta;
        p[1] *= beta;
        p[2] *= beta;
    }
    return sum;
}
