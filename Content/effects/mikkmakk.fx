// The scenes' material effect: the geometry passes that fill the G-buffer ("clean" and its
// normal-mapped and image-cube variants) and the indirect light gathered from the probe's cube
// map ("cubemaplight" on a cube face, "cubemaplight_blend" on the screen).
#include "shared.fxh"
#include "rendering.fxh"

float4x4 LocalView : LOCALVIEW;
float4x4 LocalViewProj : LOCALVIEWPROJ;
float4 MaterialDiffuse : DIFFUSE = {1, 1, 1, 1};
float4 MaterialSpecular : SPECULAR = {0, 0, 0, 0};

texture MaterialTexture : MATTEX;
sampler2D MaterialSampler = sampler_state {
    Texture = <MaterialTexture>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = WRAP; AddressV = WRAP;
};

// Indirect light: the probe's cube map of last frame and the G-buffer of what is being lit.
float3 FarClipValues : FARCLIPVALUES;
float3 CubeMapPos : CUBEMAP_POS;
float4x4 InverseView : INVERSE_VIEW;
float SamplingKernel[48] : SAMPLINGKERNEL;
textureCUBE ProbeCube : CUBETEX;
samplerCUBE ProbeSampler = sampler_state {
    Texture = <ProbeCube>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP; AddressW = CLAMP;
};
texture NormalDepthTex : NORMLTEX1;
sampler2D NormalDepthSampler = sampler_state {
    Texture = <NormalDepthTex>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
texture AlbedoTex : COLTEX3;
sampler2D AlbedoSampler = sampler_state {
    Texture = <AlbedoTex>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};

glsl {
    // How far from a point the gather looks for the light that reaches it (the kernel's lengths
    // spread the samples from near to half a room away).
    const float GATHER_RADIUS = 12.0;
    // The share of gathered light a surface sends on (below 1, so bounces converge).
    const float BOUNCE = 0.8;

    float SpecularStrength(vec4 specular) { return clamp(max(specular.r, max(specular.g, specular.b)), 0.0, 1.0); }

    // Radiance a pixel sends on after one more bounce: its albedo times the light of the kernel's
    // directions (turned into the normal's hemisphere, cosine-weighted) at points around it, as
    // the probe saw them. `toWorld` turns view-space vectors into world space.
    vec3 GatherIndirect(vec2 uv, mat3 toWorld, vec3 eyeWorld)
    {
        vec4 nd = texture(NormalDepthSampler, uv);
        if (IsEmptyDepth(nd.a))
            return vec3(0.0);
        vec3 viewPos = ViewPosition(uv, nd.a, FarClipValues);
        vec3 n = normalize(toWorld * nd.rgb);
        vec3 p = toWorld * viewPos + eyeWorld + n * 0.05;
        vec3 sum = vec3(0.0);
        float weights = 0.0;
        // Each kernel vector is used twice, the second time turned a quarter about the normal:
        // 32 directions, so the room's bright patches sweep across twice as many, half as strong
        // steps from one pixel to the next.
        for (int i = 0; i < 32; ++i) {
            vec3 k = vec3(SamplingKernel[(i & 15) * 3], SamplingKernel[(i & 15) * 3 + 1], SamplingKernel[(i & 15) * 3 + 2]);
            if (i >= 16)
                k = cross(n, k) + n * dot(n, k);
            float len = length(k);
            vec3 dir = k / max(len, 1e-4);
            if (dot(dir, n) < 0.0)
                dir = -dir;
            dir = normalize(dir + n * 0.2);
            float w = max(dot(dir, n), 0.0);
            vec3 s = p + dir * (len * GATHER_RADIUS);
            sum += ProbeLookup(ProbeSampler, s - CubeMapPos) * w;
            weights += w;
        }
        vec3 albedo = texture(AlbedoSampler, uv).rgb;
        return albedo * BOUNCE * sum / max(weights, 1e-4);
    }

    // A screen quad drawn at its exact corners: the texel under each pixel centre is half a
    // texel further on.
    vec2 TexelUV(vec2 uv) { return uv + 0.5 / vec2(textureSize(NormalDepthSampler, 0)); }
}

vertexshader GeometryVS {
    in vec4 POSITION0;
    in vec3 NORMAL0;
    in vec2 TEXCOORD0;
    out vec3 viewNormal;
    out vec3 viewPos;
    out vec3 objectPos;
    out vec2 uv;
    void main()
    {
        vec4 p = vec4(POSITION0.xyz, 1.0);
        gl_Position = LocalViewProj * p;
        viewPos = (LocalView * p).xyz;
        viewNormal = mat3(LocalView) * NORMAL0;
        objectPos = POSITION0.xyz;
        uv = TEXCOORD0;
    }
}

pixelshader CleanPS {
    in vec3 viewNormal;
    in vec3 viewPos;
    in vec3 objectPos;
    in vec2 uv;
    out vec4 COLOR0;
    out vec4 COLOR1;
    void main()
    {
        COLOR0 = vec4(MaterialDiffuse.rgb, SpecularStrength(MaterialSpecular));
        COLOR1 = EncodeNormalDepth(viewNormal, viewPos.z);
    }
}

// The material texture is a tangent-space normal map; the tangent frame comes from the
// screen-space derivatives of position and texture coordinates.
pixelshader CleanNormalMapPS {
    in vec3 viewNormal;
    in vec3 viewPos;
    in vec3 objectPos;
    in vec2 uv;
    out vec4 COLOR0;
    out vec4 COLOR1;
    void main()
    {
        vec3 n = normalize(viewNormal);
        vec3 dp1 = dFdx(viewPos);
        vec3 dp2 = dFdy(viewPos);
        vec2 duv1 = dFdx(uv);
        vec2 duv2 = dFdy(uv);
        vec3 dp2perp = cross(dp2, n);
        vec3 dp1perp = cross(n, dp1);
        vec3 t = dp2perp * duv1.x + dp1perp * duv2.x;
        vec3 b = dp2perp * duv1.y + dp1perp * duv2.y;
        float scale = inversesqrt(max(max(dot(t, t), dot(b, b)), 1e-12));
        vec3 tangentNormal = texture(MaterialSampler, uv).xyz * 2.0 - 1.0;
        vec3 mapped = normalize(mat3(t * scale, b * scale, n) * tangentNormal);
        COLOR0 = vec4(MaterialDiffuse.rgb, SpecularStrength(MaterialSpecular));
        COLOR1 = EncodeNormalDepth(mapped, viewPos.z);
    }
}

// The image cube: each face of the object-space cube (-1...1) is a picture of light — a sun with
// rays, ripples, a spectrum, a grid of lamps, a glow and caustics — bright on a dark ground.
glsl {
    vec3 Spectrum(float x)
    {
        return clamp(vec3(abs(x * 6.0 - 3.0) - 1.0, 2.0 - abs(x * 6.0 - 2.0), 2.0 - abs(x * 6.0 - 4.0)), 0.0, 1.0);
    }

    vec3 ImageCubePicture(vec3 p)
    {
        vec3 a = abs(p);
        int face;
        vec2 uv;
        if (a.x >= a.y && a.x >= a.z) {
            face = p.x > 0.0 ? 0 : 1;
            uv = p.zy / a.x;
        } else if (a.y >= a.z) {
            face = p.y > 0.0 ? 2 : 3;
            uv = p.xz / a.y;
        } else {
            face = p.z > 0.0 ? 4 : 5;
            uv = p.xy / a.z;
        }
        vec3 ground = vec3(0.22, 0.24, 0.3);
        float r = length(uv);
        float angle = atan(uv.y, uv.x);
        vec3 warm = vec3(0.95, 0.7, 0.3);
        vec3 cool = vec3(0.35, 0.55, 0.95);
        if (face == 0) { // a sun and its rays
            float rays = smoothstep(0.55, 0.95, cos(angle * 12.0)) * smoothstep(1.1, 0.35, r);
            return mix(ground, warm, max(smoothstep(0.33, 0.28, r), rays));
        }
        if (face == 1) { // ripples
            float rings = smoothstep(0.5, 0.95, cos(r * 22.0)) * smoothstep(1.2, 0.1, r);
            return mix(ground, cool, rings);
        }
        if (face == 2) { // a spectrum through a prism
            float band = smoothstep(0.55, 0.45, abs(uv.y));
            return mix(ground, Spectrum(uv.x * 0.5 + 0.5) * 0.9, band);
        }
        if (face == 3) { // a grid of lamps
            vec2 cell = fract(uv * 2.5) - 0.5;
            return mix(ground, warm, smoothstep(0.3, 0.2, length(cell)));
        }
        if (face == 4) { // a glow
            return mix(ground, vec3(0.95, 0.85, 0.6), exp(-r * r * 3.0));
        }
        // caustics
        float c = sin(uv.x * 9.0 + sin(uv.y * 7.0) * 2.0) * sin(uv.y * 8.0 + sin(uv.x * 6.0) * 2.0);
        return mix(ground, vec3(0.4, 0.85, 0.9), smoothstep(0.3, 0.9, c));
    }
}

pixelshader ImgCubePS {
    in vec3 viewNormal;
    in vec3 viewPos;
    in vec3 objectPos;
    in vec2 uv;
    out vec4 COLOR0;
    out vec4 COLOR1;
    void main()
    {
        COLOR0 = vec4(ImageCubePicture(objectPos) * MaterialDiffuse.rgb, SpecularStrength(MaterialSpecular));
        COLOR1 = EncodeNormalDepth(viewNormal, viewPos.z);
    }
}

vertexshader ScreenVS {
    in vec4 POSITION0;
    out vec2 uv;
    void main()
    {
        gl_Position = vec4(POSITION0.xy, 0.0, 1.0);
        uv = ScreenQuadUV(POSITION0.xyz);
    }
}

// On a face of the cube map: the cube camera is the active camera, so LOCALVIEW of the
// untransformed screen quad is its view matrix.
pixelshader CubeMapLightPS {
    in vec2 uv;
    out vec4 COLOR0;
    void main()
    {
        mat3 toWorld = transpose(mat3(LocalView));
        vec3 eye = -(toWorld * LocalView[3].xyz);
        COLOR0 = vec4(GatherIndirect(TexelUV(uv), toWorld, eye), 1.0);
    }
}

pixelshader CubeMapLightBlendPS {
    in vec2 uv;
    out vec4 COLOR0;
    void main()
    {
        COLOR0 = vec4(GatherIndirect(TexelUV(uv), mat3(InverseView), InverseView[3].xyz), 1.0);
    }
}

technique clean {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW;
        AlphaBlendEnable = FALSE;
        VertexShader = GeometryVS; PixelShader = CleanPS;
    }
}

technique clean_normalmap {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW;
        AlphaBlendEnable = FALSE;
        VertexShader = GeometryVS; PixelShader = CleanNormalMapPS;
    }
}

technique imgcube {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = CW;
        AlphaBlendEnable = FALSE;
        VertexShader = GeometryVS; PixelShader = ImgCubePS;
    }
}

technique cubemaplight {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE;
        VertexShader = ScreenVS; PixelShader = CubeMapLightPS;
    }
}

technique cubemaplight_blend {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE;
        VertexShader = ScreenVS; PixelShader = CubeMapLightBlendPS;
    }
}
