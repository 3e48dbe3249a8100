// Dust in the beams: thousands of soft, glowing motes that drift slowly inside a box.
//
// The dust module ("Dust") stores every mote once, as three vertices with the same place p in the
// unit cube around the origin and the corners (0, 0, 0), (1, 1, 0), (0, 1, 0). Everything else
// happens here, in the vertex shader:
//
// - Motion. Each mote drifts with TIME at a speed of its own: a wander in a random direction of up
//   to DUSTSPEED world units a second, a slow sink of 0.35 DUSTSPEED (straight down in the world,
//   whatever the box's turn: MYMAT, the box without its scale, turns the world's motion into the
//   box's frame) and a sway of SWAY units around that path. The travel is measured in world units
//   and divided by the box's scale, so motes move alike along every side of a long box. The place
//   wraps inside the unit cube (fract), so the cloud never thins out; LOCAL (the box's world matrix
//   W, which maps the unit cube onto the box) puts it in the box. A mote fades out over the last
//   EDGE of the cube before a face, so the wrap from one face to the opposite one never pops.
// - Sprite. The triangle's corners spread in the camera's plane (view space, through LOCALVIEW)
//   into an equilateral triangle whose inscribed circle, of DUSTSIZE world units, holds the mote's
//   soft disc: the motes keep their world size and always face the camera. A mote far away is
//   never drawn smaller than DUSTMINSIZE (a share of half the picture's height, about a pixel at
//   the show's sizes), so it does not flicker between pixels; it is dimmed by the area it gained,
//   so far dust adds up to the same faint haze. Motes within NEARFADE of the camera fade out
//   instead of growing into blobs across the lens.
// - Light. The dust is drawn after the lights, additively (ONE, ONE) into the scene's HDR
//   colour target, with the geometry pass's depth buffer for occlusion (ZEnable TRUE,
//   ZWriteEnable FALSE): motes glow in front of what lies behind them and hide behind the meshes.
//   Beams of light cross the box along DUSTBEAM, about DUSTBEAMWIDTH world units across, where a
//   smooth noise across the beam direction is high (about a quarter of the space; they sway
//   slowly with TIME): a mote inside a beam glows in DUSTCOLOUR (warm amber; one in five is a cool
//   blue-white), one outside it SHADE of that, so the dust shows shafts of light instead of an
//   even starfield. A lit mote glows 0.3 of its colour most of the time and up to twice it when
//   it turns to catch the light, a few times a minute. Its peak stays well below the tone
//   curve's white, and 10000 motes in a room add a haze of a few thousandths to the picture's
//   mean light, not a sheet.
//
// Parameters: TIME (the animation time), LOCAL, LOCALVIEW, LOCALVIEWPROJ (the box, set by the
// module), MYMAT (the box without its scale, set by the module); DUSTSIZE, DUSTMINSIZE, DUSTSPEED,
// DUSTCOLOUR, DUSTBEAM and DUSTBEAMWIDTH have the show's values below and may be set by a scene
// (the effect keeps the last value set, so a scene that sets one sets it before each draw).
#include "shared.fxh"
#include "rendering.fxh"

float4x4 Local : LOCAL;
float4x4 LocalView : LOCALVIEW;
float4x4 LocalViewProj : LOCALVIEWPROJ;
float4x4 BoxFrame : MYMAT;

float DustSize : DUSTSIZE = 0.035;       // radius of a mote's disc, world units
float DustMinSize : DUSTMINSIZE = 0.006; // smallest radius on screen, share of half the height
float DustSpeed : DUSTSPEED = 0.12;      // fastest wander, world units a second
float3 DustColour : DUSTCOLOUR = {0.55, 0.45, 0.34};
float3 DustBeam : DUSTBEAM = {0.35, -0.85, -0.4};  // the beams' direction in the world
float DustBeamWidth : DUSTBEAMWIDTH = 2.5;          // world units across a beam, about

glsl {
    const float SINK = 0.35;        // share of DUSTSPEED every mote sinks by
    const float SWAY = 0.08;        // world units a mote sways around its path
    const float EDGE = 0.06;        // share of the cube over which motes fade before a face
    const float NEARFADE_FROM = 0.4; // world units from the camera: no mote this close
    const float NEARFADE_TO = 1.5;   // fully visible from here on
    const float TAU = 6.2831853;
    const float SHADE = 0.08;       // a mote outside the beams glows this much of a lit one

    // Three well-mixed 32-bit numbers from three (Jarzynski and Olano's pcg3d).
    uvec3 Pcg3d(uvec3 v)
    {
        v = v * 1664525u + 1013904223u;
        v.x += v.y * v.z; v.y += v.z * v.x; v.z += v.x * v.y;
        v ^= v >> 16u;
        v.x += v.y * v.z; v.y += v.z * v.x; v.z += v.x * v.y;
        return v;
    }
    vec3 Random3(uvec3 v) { return vec3(Pcg3d(v)) * (1.0 / 4294967296.0); }

    // Smooth value noise in the plane, 0 ... 1, one feature per unit.
    float ValueNoise(vec2 x)
    {
        vec2 cell = floor(x);
        vec2 f = x - cell;
        f = f * f * (3.0 - 2.0 * f);
        uvec3 c = uvec3(ivec3(ivec2(cell), 0));
        float a = Random3(c).x;
        float b = Random3(c + uvec3(1u, 0u, 0u)).x;
        float d = Random3(c + uvec3(0u, 1u, 0u)).x;
        float e = Random3(c + uvec3(1u, 1u, 0u)).x;
        return mix(mix(a, b, f.x), mix(d, e, f.x), f.y);
    }

    // How much of a beam falls on a world point: shafts along the beam direction, a beam width
    // across, where the noise across the beam is high; they sway slowly.
    float BeamLight(vec3 world, vec3 direction, float width, float time)
    {
        vec3 along = normalize(direction);
        vec3 side = normalize(cross(along, abs(along.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
        vec3 up = cross(along, side);
        vec2 across = vec2(dot(world, side), dot(world, up)) / width;
        float n = ValueNoise(across + vec2(0.031, 0.017) * time) * 0.7 + ValueNoise(across * 2.3 + 17.0) * 0.3;
        return mix(SHADE, 1.0, smoothstep(0.5, 0.72, n));
    }
}

vertexshader DustVS {
    in vec3 POSITION0;
    in vec3 TEXCOORD0;
    out vec2 spot;
    out vec3 glow;
    void main()
    {
        // The mote's own numbers, the same at its three corners.
        uvec3 seed = floatBitsToUint(POSITION0);
        vec3 r1 = Random3(seed);
        vec3 r2 = Random3(seed.zxy + 0x9E3779B9u);
        vec3 r3 = Random3(seed.yzx ^ 0x85EBCA6Bu);

        // The box: its turn (MYMAT's rows) and its scale along each of them (W's rows are the
        // scaled ones, a mirrored side's scale negative); a flat side counts as very thin.
        mat3 boxToWorld = mat3(BoxFrame);
        vec3 scale = vec3(dot(Local[0].xyz, BoxFrame[0].xyz), dot(Local[1].xyz, BoxFrame[1].xyz),
                          dot(Local[2].xyz, BoxFrame[2].xyz));
        scale = mix(vec3(1e-4), scale, greaterThan(abs(scale), vec3(1e-4)));

        // Drift, sink and sway in the world, measured in the box's frame, then in the unit cube.
        vec3 velocity = (r1 * 2.0 - 1.0) * DustSpeed - vec3(0.0, SINK * DustSpeed, 0.0);
        vec3 sway = SWAY * sin(Time * (0.3 + 0.6 * r2) + TAU * r1.zxy);
        vec3 travelled = transpose(boxToWorld) * (velocity * Time + sway);
        vec3 p = fract(POSITION0 + 0.5 + travelled / scale) - 0.5;

        vec3 toFace = 0.5 - abs(p);
        float edge = smoothstep(0.0, EDGE, min(toFace.x, min(toFace.y, toFace.z)));
        float depth = -(LocalView * vec4(p, 1.0)).z;
        float fade = edge * smoothstep(NEARFADE_FROM, NEARFADE_TO, depth);

        // The camera's plane in the unit cube: view offsets back through the box's rigid frame,
        // then divided by its scale.
        mat3 cubeToView = mat3(LocalView) * mat3(1.0 / scale.x, 0.0, 0.0, 0.0, 1.0 / scale.y, 0.0, 0.0, 0.0, 1.0 / scale.z);
        mat3 viewToBox = transpose(cubeToView);
        float size = DustSize * (0.7 + 0.6 * r3.y);
        // Corners (0, 0), (1, 1), (0, 1) -> 0, 2, 1 -> an equilateral triangle around the disc.
        float k = TEXCOORD0.x + TEXCOORD0.y;
        float angle = 1.5707963 + k * 2.0943951;
        spot = 2.0 * vec2(cos(angle), sin(angle));
        vec3 offset = (viewToBox * vec3(spot * size, 0.0)) / scale;
        vec3 up = (viewToBox * vec3(0.0, size, 0.0)) / scale;

        vec4 centre = LocalViewProj * vec4(p, 1.0);
        vec4 corner = LocalViewProj * vec4(p + offset, 1.0);
        vec4 top = LocalViewProj * vec4(p + up, 1.0);
        // Grown to the smallest size on screen (never shrunk), dimmed by the area gained.
        float radius = abs(top.y - centre.y) / max(abs(centre.w), 1e-6);
        float grow = max(DustMinSize / max(radius, 1e-9), 1.0);
        corner.xy = centre.xy + (corner.xy - centre.xy) * grow;

        float glint = pow(0.5 + 0.5 * sin(Time * (0.4 + 1.2 * r2.x) + TAU * r2.y), 8.0);
        vec3 tint = r3.x < 0.2 ? vec3(0.62, 0.8, 1.25) : vec3(1.0);
        float beam = BeamLight((Local * vec4(p, 1.0)).xyz, DustBeam, DustBeamWidth, Time);
        glow = DustColour * tint * beam * (0.3 + 1.7 * glint) * fade / (grow * grow);
        // A mote that has faded out entirely is not drawn at all.
        gl_Position = fade > 0.0 ? corner : vec4(2.0, 2.0, 2.0, 1.0);
    }
}

pixelshader DustPS {
    in vec2 spot;
    in vec3 glow;
    out vec4 COLOR0;
    void main()
    {
        // A soft disc: full in the middle, nothing at the triangle's inscribed circle.
        float falloff = max(1.0 - dot(spot, spot), 0.0);
        COLOR0 = vec4(glow * (falloff * falloff), 0.0);
    }
}

technique dust {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = DustVS; PixelShader = DustPS;
    }
}
