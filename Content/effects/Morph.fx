// The morph: a word bursts into dust that flies out towards the camera, then falls together into
// a cube. The mesh-dust module ("MeshDust") stores every particle once, as a point with:
//
// - POSITION0: its place on the word's surface when the word bursts (world space);
// - NORMAL0: its launch velocity, away from a point behind the word and towards +z;
// - TEXCOORD0: its place in the cube when the dust has gathered (world space);
// - TEXCOORD1: the pull towards the cube's middle, strongest for the places far from it;
// - COLOR0: its colour (white: the particle takes the albedo of what it flies between).
//
// Everything else happens here. ANIMTIME is the morph's progress m: 0 the word, 1 the cube (the
// scene draws the meshes themselves outside 0 < m < 1). Each particle leaves at a delay of its
// own, the word's left end first, so the word frays from left to right; it then follows a
// Hermite curve from its place on the word, leaving along its launch velocity, to its place in
// the cube, which it reaches falling from above and drawn in by the pull. WILDNESS (sin(pi m):
// 0 at both ends, 1 half-way) stirs the dust with a swirl that dies out as it lands.
//
// - "Dust" fills the G-buffer like "mikkmakk"/"clean": round points of PSIZE × SIZE_SCALE world
//   units (a sphere's normal across the disc), their albedo turning from the word's amber to the
//   cube's white as they fly. RTDIMINV is (1 / width, 1 / height) of the target; LOCALVIEW and
//   LOCALVIEWPROJ come from identity object matrices (the particles are in world space).
// - "DepthToR" writes the same points into a spot light's shadow map with MYMAT = the light's
//   view-projection and RTDIMINV = (1 / size, 1 / size): the moments of "DefLight"/"DepthToR".
#include "shared.fxh"
#include "rendering.fxh"

float4x4 LocalView : LOCALVIEW;
float4x4 LocalViewProj : LOCALVIEWPROJ;
float4x4 LightViewProj : MYMAT;
float PointSize : PSIZE = 30.0;
float2 RtDimInv : RTDIMINV = {0.0015625, 0.0025};
float AnimTime : ANIMTIME = 0.0;
float Wildness : WILDNESS = 0.0;

glsl {
    const float SIZE_SCALE = 0.0025;   // world units of point per unit of PSIZE
    const float MAX_DELAY = 0.35;      // share of the morph over which the particles leave
    const float LAUNCH = 0.32;         // share of the launch velocity the path leaves with
    const float FALL = 1.6;            // world units a second the dust falls into the cube with
    const float SWIRL = 0.55;          // world units the dust is stirred at its wildest
    const float TAU = 6.2831853;
    const vec3 TOWARDS_LIGHT = vec3(0.0, 0.5, 0.0); // view space: up
    const vec3 WORD_ALBEDO = vec3(0.9, 0.58, 0.26);  // as "scatterShape" in meshes.txt
    const vec3 CUBE_ALBEDO = vec3(0.82, 0.84, 0.88); // as "trCubeShape" in meshes.txt

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

    // How far along its path a particle is at the morph's progress m (0 ... 1).
    float Flight(vec3 start, float random, float m)
    {
        float order = clamp(start.x * 0.12 + 0.5, 0.0, 1.0); // the word's left end leaves first
        float delay = MAX_DELAY * clamp(order * 0.7 + random * 0.3, 0.0, 1.0);
        return clamp((m - delay) / (1.0 - MAX_DELAY), 0.0, 1.0);
    }

    // Where a particle is: launched from the word, stirred, falling into the cube.
    vec3 ParticlePlace(vec3 start, vec3 launch, vec3 end, vec3 pull, float m, float wildness, out float flight)
    {
        vec3 r = Random3(floatBitsToUint(start));
        flight = Flight(start, r.x, m);
        float u = flight;
        float u2 = u * u;
        float u3 = u2 * u;
        vec3 leave = launch * LAUNCH;
        vec3 arrive = vec3(0.0, -FALL, 0.0) + pull * 2.0;
        vec3 p = (2.0 * u3 - 3.0 * u2 + 1.0) * start + (u3 - 2.0 * u2 + u) * leave
               + (-2.0 * u3 + 3.0 * u2) * end + (u3 - u2) * arrive;
        vec3 swirl = sin(vec3(Time * (1.3 + r.y), Time * (1.1 + r.z), Time * (1.7 + r.x)) + TAU * r.zxy);
        return p + swirl * (SWIRL * wildness * sin(3.14159265 * u));
    }

    // Pixels across a point of `worldSize` units at clip position `clip` under `viewProj`, for a
    // target `texelHeight` (1 / height) high: the projection's vertical scale is the length of
    // the matrix's y row (the view part turns without scaling).
    float PointPixels(mat4 viewProj, vec4 clip, float worldSize, float texelHeight)
    {
        float scaleY = length(vec3(viewProj[0][1], viewProj[1][1], viewProj[2][1]));
        float pixels = worldSize * scaleY / max(clip.w, 1e-4) * 0.5 / max(abs(texelHeight), 1e-6);
        return clamp(pixels, 1.0, 64.0);
    }

    // The point's disc: the offset from its middle, -1 ... 1 across; false outside it.
    bool OnDisc(vec2 pointCoord, out vec2 disc)
    {
        disc = vec2(pointCoord.x * 2.0 - 1.0, 1.0 - pointCoord.y * 2.0);
        return dot(disc, disc) <= 1.0;
    }
}

vertexshader DustVS {
    in vec3 POSITION0;
    in vec3 NORMAL0;
    in vec3 TEXCOORD0;
    in vec3 TEXCOORD1;
    in vec4 COLOR0;
    out vec3 viewPos;
    out vec3 albedo;
    out float radius;
    void main()
    {
        float flight;
        vec3 p = ParticlePlace(POSITION0, NORMAL0, TEXCOORD0, TEXCOORD1, AnimTime, Wildness, flight);
        gl_Position = LocalViewProj * vec4(p, 1.0);
        viewPos = (LocalView * vec4(p, 1.0)).xyz;
        radius = 0.5 * PointSize * SIZE_SCALE;
        gl_PointSize = PointPixels(LocalViewProj, gl_Position, PointSize * SIZE_SCALE, RtDimInv.y);
        albedo = mix(WORD_ALBEDO, CUBE_ALBEDO, smoothstep(0.2, 0.8, flight)) * COLOR0.rgb;
    }
}

pixelshader DustPS {
    in vec3 viewPos;
    in vec3 albedo;
    in float radius;
    out vec4 COLOR0;
    out vec4 COLOR1;
    void main()
    {
        vec2 disc;
        if (!OnDisc(gl_PointCoord, disc))
            discard;
        // A small sphere facing the camera, turned a little towards the lights above it.
        vec3 n = normalize(vec3(disc, sqrt(max(1.0 - dot(disc, disc), 0.0))) + TOWARDS_LIGHT);
        COLOR0 = vec4(albedo, 0.5);
        COLOR1 = EncodeNormalDepth(n, viewPos.z + n.z * radius);
    }
}

vertexshader DepthVS {
    in vec3 POSITION0;
    in vec3 NORMAL0;
    in vec3 TEXCOORD0;
    in vec3 TEXCOORD1;
    out float lightW;
    void main()
    {
        float flight;
        vec3 p = ParticlePlace(POSITION0, NORMAL0, TEXCOORD0, TEXCOORD1, AnimTime, Wildness, flight);
        gl_Position = LightViewProj * vec4(p, 1.0);
        lightW = gl_Position.w;
        gl_PointSize = PointPixels(LightViewProj, gl_Position, PointSize * SIZE_SCALE, RtDimInv.y);
    }
}

pixelshader DepthPS {
    in float lightW;
    out vec4 COLOR0;
    void main()
    {
        vec2 disc;
        if (!OnDisc(gl_PointCoord, disc))
            discard;
        COLOR0 = vec4(ShadowMoments(lightW), 0.0, 0.0);
    }
}

technique Dust {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = FALSE;
        VertexShader = DustVS; PixelShader = DustPS;
    }
}

technique DepthToR {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = FALSE;
        VertexShader = DepthVS; PixelShader = DepthPS;
    }
}
