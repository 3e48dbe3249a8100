// Glare of the disco balls: a star and a halo where a mirror flashes into the camera.
//
// The tunnel scene places camera-facing squares in world space (the batch has no transform, so
// LOCALVIEWPROJ is the camera's view-projection) and draws, for each glare point:
//
// - "OcclusionTest": a small square at the point, inside an occlusion query. It is tested against
//   the depth buffer the geometry pass left (ZEnable TRUE, LESSEQUAL) and changes nothing: no
//   colour (ColorWriteEnable = 0) and no depth (ZWriteEnable FALSE). The query's pixel count is
//   how much of the point the camera sees.
// - "Glare": a large square around the point, added (ONE, ONE) into the scene's HDR colour before
//   the final tone curve, scaled by INTENS (facing × visibility × flicker, 0 ... about 0.6). It is
//   not depth tested: the flash is on the lens, and the query already said whether the point is
//   seen. Its middle goes well past the tone curve's white, so the core blooms; the streaks and
//   the halo fall off fast, so a glare never washes out more than its own small patch.
//
// Parameters: LOCALVIEWPROJ (set with the object), INTENS, TIME.
#include "shared.fxh"
#include "rendering.fxh"

float4x4 LocalViewProj : LOCALVIEWPROJ;
float Intens : INTENS = 0.0;
float3 GlareColour : GLARECOLOUR = {1.0, 0.93, 0.82};

glsl {
    const float CORE = 7.0;     // radiance of the middle at INTENS 1
    const float HALO = 0.35;    // radiance of the soft halo at INTENS 1
    const float STREAK = 2.2;   // radiance of the four long rays at INTENS 1
    const float DIAGONAL = 0.8; // radiance of the four short rays at INTENS 1

    float Ray(vec2 p, vec2 along, float thinness)
    {
        float a = abs(dot(p, along));
        float b = abs(dot(p, vec2(-along.y, along.x)));
        return exp(-b * thinness) * max(1.0 - a, 0.0);
    }
}

vertexshader GlareVS {
    in vec3 POSITION0;
    in vec2 TEXCOORD0;
    out vec2 spot;
    void main()
    {
        gl_Position = LocalViewProj * vec4(POSITION0, 1.0);
        spot = TEXCOORD0 * 2.0 - 1.0;
    }
}

pixelshader OcclusionPS {
    in vec2 spot;
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(0.0); }
}

pixelshader GlarePS {
    in vec2 spot;
    out vec4 COLOR0;
    void main()
    {
        float r2 = dot(spot, spot);
        float core = CORE * exp(-r2 * 180.0);
        float halo = HALO * max(1.0 - r2, 0.0) * max(1.0 - r2, 0.0);
        // The star turns slowly with the show's time, like a facet sweeping past.
        float turn = Time * 0.35;
        vec2 a = vec2(cos(turn), sin(turn));
        vec2 d = vec2(cos(turn + 0.7853982), sin(turn + 0.7853982));
        float rays = STREAK * (Ray(spot, a, 60.0) + Ray(spot, vec2(-a.y, a.x), 60.0));
        rays += DIAGONAL * (Ray(spot * 1.6, d, 50.0) + Ray(spot * 1.6, vec2(-d.y, d.x), 50.0));
        float fade = 1.0 - smoothstep(0.8, 1.0, sqrt(r2));
        COLOR0 = vec4(GlareColour * (core + halo + rays * max(1.0 - sqrt(r2), 0.0)) * fade * Intens, 0.0);
    }
}

technique OcclusionTest {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = FALSE; ColorWriteEnable = 0;
        VertexShader = GlareVS; PixelShader = OcclusionPS;
    }
}

technique Glare {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = GlareVS; PixelShader = GlarePS;
    }
}
