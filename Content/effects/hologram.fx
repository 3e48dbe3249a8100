// The opening's hologram: a mesh drawn as light, not matter.
//
// The scene draws the mesh after the lights and the depth of field, added (ONE, ONE) into the HDR
// colour target with the geometry pass's depth buffer (ZEnable TRUE, ZWriteEnable FALSE): the
// ground hides what lies behind it, and the hologram itself hides nothing. Both sides of every
// face are drawn (CullMode NONE), so the far side of the tube shows through the near one.
//
// - Glow: a faint core everywhere and a bright rim where the surface turns away from the eye
//   (fresnel), in HOLOCOLOUR.
// - Scanlines: thin dark lines across the mesh's own y (so they turn with it) that crawl upwards
//   with TIME, and a bright band that sweeps up through the whole mesh every few seconds.
// - Flicker: a quick shimmer of a few per cent, and now and then (about once a second, at a
//   pseudo-random moment) a short dip to half, as if the projection faltered.
//
// The peak of the rim goes past the tone curve's white so that the edges bloom; the core stays
// dim, so the knot reads as lines of light in the dark, not as a solid.
//
// Parameters: LOCALVIEW and LOCALVIEWPROJ (set with the object), TIME, HOLOCOLOUR.
#include "shared.fxh"
#include "rendering.fxh"

float4x4 LocalView : LOCALVIEW;
float4x4 LocalViewProj : LOCALVIEWPROJ;
float3 HoloColour : HOLOCOLOUR = {0.25, 0.75, 1.0};

glsl {
    const float CORE = 0.12;          // glow of a face seen head on
    const float RIM = 1.5;            // glow of a face seen edge on
    const float LINES = 14.0;         // scanlines per unit of the mesh's y
    const float LINE_CRAWL = 0.6;     // units a second the lines crawl up
    const float SWEEP_PERIOD = 3.5;   // seconds between two sweeps of the bright band
    const float SWEEP = 1.2;          // extra glow in the middle of the band

    float Hash(float n) { return fract(sin(n * 12.9898) * 43758.5453); }

    float Flicker(float t)
    {
        float shimmer = 0.94 + 0.06 * sin(t * 37.0) * sin(t * 13.0 + 1.3);
        float slot = floor(t * 6.0);
        float dip = Hash(slot) > 0.84 ? 0.5 : 1.0;
        return shimmer * dip;
    }
}

vertexshader HologramVS {
    in vec4 POSITION0;
    in vec3 NORMAL0;
    out vec3 viewNormal;
    out vec3 viewPos;
    out vec3 objectPos;
    void main()
    {
        vec4 p = vec4(POSITION0.xyz, 1.0);
        gl_Position = LocalViewProj * p;
        viewPos = (LocalView * p).xyz;
        viewNormal = mat3(LocalView) * NORMAL0;
        objectPos = POSITION0.xyz;
    }
}

pixelshader HologramPS {
    in vec3 viewNormal;
    in vec3 viewPos;
    in vec3 objectPos;
    out vec4 COLOR0;
    void main()
    {
        vec3 n = normalize(viewNormal);
        vec3 toEye = normalize(-viewPos);
        float edge = 1.0 - abs(dot(n, toEye));
        float glow = CORE + RIM * edge * edge * edge;

        float line = fract(objectPos.y * LINES - Time * LINE_CRAWL * LINES);
        float scan = 0.55 + 0.45 * smoothstep(0.0, 0.35, line) * (1.0 - smoothstep(0.65, 1.0, line));

        float band = fract(objectPos.y * 0.3 - Time / SWEEP_PERIOD);
        float sweep = SWEEP * exp(-pow((band - 0.5) * 14.0, 2.0));

        vec3 c = HoloColour * (glow * scan + sweep * (0.3 + edge)) * Flicker(Time);
        COLOR0 = vec4(c, 0.0);
    }
}

technique Hologram {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = HologramVS; PixelShader = HologramPS;
    }
}
