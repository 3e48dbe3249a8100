// The arena's smoke ("smoke"): soft sprites inside the box of the transform "SmokeBox" (LOCAL maps
// the unit box [-0.5, 0.5]^3 onto it). Each sprite rises through the box and wraps around, sways,
// turns and grows as it goes, fading in at the bottom and out at the top; all of it is computed
// here from TIME and the sprite's four random numbers (its vertex colour), so the scene writes the
// sprites once. The puffs' wisps come from the shared noise volume.
//
// Like the cards, the smoke is laid over the stage in linear light (see "Arena.fx"): a cool grey
// haze low down that warms as it rises into the light.
#include "shared.fxh"
#include "rendering.fxh"

float4x4 Local : LOCAL;

sampler3D NoiseSampler = sampler_state {
    Texture = <NoiseTex>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = WRAP; AddressV = WRAP; AddressW = WRAP;
};

glsl {
    const float PI = 3.14159265;
    // How much of the stage one puff hides at its thickest.
    const float DENSITY = 0.5;
    const vec3 SMOKE_LOW = vec3(0.3, 0.35, 0.46);
    const vec3 SMOKE_HIGH = vec3(0.9, 0.74, 0.52);
}

vertexshader SmokeVS {
    in vec4 POSITION0;
    in vec3 NORMAL0;
    in vec4 COLOR0;
    in vec2 TEXCOORD0;
    out vec2 uv;
    out vec3 noiseAt;
    out vec3 tint;
    out float life;
    void main()
    {
        vec4 seed = COLOR0;
        // Rising: a full pass through the box takes 14 to 28 seconds.
        float t = fract(POSITION0.y + 0.5 + Time * (0.036 + 0.036 * seed.g));
        vec3 p = POSITION0.xyz;
        p.y = t - 0.5;
        p.x += 0.07 * sin(Time * (0.3 + 0.3 * seed.b) + seed.r * 2.0 * PI);
        vec3 centre = (Local * vec4(p, 1.0)).xyz;

        float size = (0.12 + 0.14 * seed.a) * (0.7 + 0.8 * t);
        float angle = seed.b * 2.0 * PI + Time * (seed.r - 0.5) * 0.4;
        mat2 turn = mat2(cos(angle), sin(angle), -sin(angle), cos(angle));
        vec2 corner = turn * NORMAL0.xy * size;
        gl_Position = ViewProj * vec4(centre + vec3(corner, 0.0), 1.0);

        uv = TEXCOORD0;
        noiseAt = vec3(TEXCOORD0 * 0.45 + seed.rg * 5.0, seed.b * 3.0 + Time * 0.04);
        tint = mix(SMOKE_LOW, SMOKE_HIGH, smoothstep(0.2, 1.0, t));
        life = t;
    }
}

pixelshader SmokePS {
    in vec2 uv;
    in vec3 noiseAt;
    in vec3 tint;
    in float life;
    out vec4 COLOR0;
    void main()
    {
        vec2 q = uv * 2.0 - 1.0;
        float r2 = dot(q, q);
        float soft = clamp(1.0 - r2, 0.0, 1.0);
        soft *= soft;
        float wisp = smoothstep(0.3, 0.75, texture(NoiseSampler, noiseAt).r);
        // Thickest low down; thinning out long before the top of the box.
        float thickness = smoothstep(0.0, 0.15, life) * (1.0 - smoothstep(0.3, 1.0, life));
        float alpha = DENSITY * soft * (0.3 + 0.7 * wisp) * thickness;
        COLOR0 = vec4(tint * alpha, alpha);
    }
}

// Flat puffs over the cards below them, in drawing order: no depth test (the stage's depth is 0).
technique Smoke {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaTestEnable = FALSE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = INVSRCALPHA;
        VertexShader = SmokeVS; PixelShader = SmokePS;
    }
}
