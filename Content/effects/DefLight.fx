// Deferred lighting: one light at a time added into the bound light buffer, drawn as a light
// volume (a sphere for a point light, a cone for a spot light) over the G-buffer; the markers
// that show where the lights are; and the spot lights' shadow maps.
//
// The light passes blend ONE/ONE and neither write depth nor choose the cull mode or the depth
// test: the module sets those per light (outside the volume: cull CW, LESSEQUAL; inside it:
// cull CCW, GREATEREQUAL) and the passes must keep them.
#include "shared.fxh"
#include "rendering.fxh"

float4x4 LocalViewProj : LOCALVIEWPROJ;
float4x4 ShadowMatrix : MYMAT;              // object -> the light's clip space (shadow maps)
float4x4 ViewToLightClip : PROJECTIONMATRIX; // view space -> the light's clip space

float2 RtDimPixelInv : RTDIMPIXELINV;
float3 FarClipValues : FARCLIPVALUES;
float3 LightPos : DLIGHTPOS;                // view space
float3 LightDir : DLIGHTDIR;                // view space, not necessarily unit length
float3 LightCol : DLIGHTCOL;
float LightRadius : DLIGHTRAD;
float LightCone : DLIGHTCONE;               // cos(cone / 2)
float PenumbraWidth : DPENUMANGLE;          // 1 - cos(penumbra)
float ConeMeshScale : CONEMESHSCALE;        // radial widening of the unit cone

texture NormalDepthTex : NORMLTEX1;
texture ShadowTex : COLTEX2;
texture ColourTex : COLTEX3;

sampler2D NormalDepthSampler = sampler_state {
    Texture = <NormalDepthTex>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D ColourSampler = sampler_state {
    Texture = <ColourTex>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D ShadowSampler = sampler_state {
    Texture = <ShadowTex>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};

glsl {
    // The G-buffer under a light volume's pixel; false where nothing was drawn.
    bool ReadGBuffer(vec4 clip, out vec3 normal, out vec3 position, out vec4 colour)
    {
        vec2 uv = ScreenUV(clip, RtDimPixelInv);
        vec4 normalDepth = texture(NormalDepthSampler, uv);
        if (IsEmptyDepth(normalDepth.a))
            return false;
        normal = normalize(normalDepth.rgb);
        position = ViewPosition(uv, normalDepth.a, FarClipValues);
        colour = texture(ColourSampler, uv);
        return true;
    }

    // The light reflected towards the eye from one lit pixel: colour x diffuse and highlight x
    // attenuation x the spot and shadow factors the caller passes in `share`.
    vec4 Shade(vec3 normal, vec3 position, vec4 colour, float share)
    {
        vec3 toLight = LightPos - position;
        float distance = length(toLight);
        toLight /= max(distance, 1e-5);
        float attenuation = Attenuation(distance, max(LightRadius, 1e-5)) * share;
        return vec4(ShadeLight(colour.rgb, colour.a, normal, position, toLight, LightCol) * attenuation, 0.0);
    }

    // Inside the cone: 0 outside its edge, rising to 1 over the penumbra band.
    float SpotFactor(vec3 position)
    {
        vec3 fromLight = normalize(position - LightPos);
        float c = dot(fromLight, normalize(LightDir));
        return smoothstep(LightCone, LightCone + max(PenumbraWidth, 1e-4), c);
    }

    float SpotShadow(vec3 position)
    {
        return ShadowFactor(ShadowSampler, ViewToLightClip * vec4(position, 1.0));
    }

    // The markers: the light's colour brought to a bright, visible level.
    vec4 MarkerColour()
    {
        float peak = max(max(LightCol.r, LightCol.g), max(LightCol.b, 1e-3));
        return vec4(LightCol / peak * 2.0, 0.0);
    }
}

// The unit sphere, already scaled and placed by the object's world matrix.
vertexshader SphereVS {
    in vec4 POSITION0; out vec4 clip;
    void main()
    {
        clip = LocalViewProj * vec4(POSITION0.xyz, 1.0);
        gl_Position = clip;
    }
}

// The unit cone (apex at the light, base at z = -1) widened by CONEMESHSCALE and stretched to
// the radius; the world matrix only turns and places it.
vertexshader ConeVS {
    in vec4 POSITION0; out vec4 clip;
    void main()
    {
        vec3 local = vec3(POSITION0.xy * (ConeMeshScale * LightRadius), POSITION0.z * LightRadius);
        clip = LocalViewProj * vec4(local, 1.0);
        gl_Position = clip;
    }
}

pixelshader PointLightPS {
    in vec4 clip; out vec4 COLOR0;
    void main()
    {
        vec3 normal, position;
        vec4 colour;
        if (!ReadGBuffer(clip, normal, position, colour))
            discard;
        COLOR0 = Shade(normal, position, colour, 1.0);
    }
}

pixelshader SpotLightPS {
    in vec4 clip; out vec4 COLOR0;
    void main()
    {
        vec3 normal, position;
        vec4 colour;
        if (!ReadGBuffer(clip, normal, position, colour))
            discard;
        COLOR0 = Shade(normal, position, colour, SpotFactor(position));
    }
}

pixelshader SpotLightShadowPS {
    in vec4 clip; out vec4 COLOR0;
    void main()
    {
        vec3 normal, position;
        vec4 colour;
        if (!ReadGBuffer(clip, normal, position, colour))
            discard;
        float spot = SpotFactor(position);
        COLOR0 = Shade(normal, position, colour, spot > 0.0 ? spot * SpotShadow(position) : 0.0);
    }
}

pixelshader MarkerPS {
    in vec4 clip; out vec4 COLOR0;
    void main() { COLOR0 = MarkerColour(); }
}

// Shadow maps: the moments of the distance along the light's axis. Both sides are drawn, so
// open meshes (a room seen from inside) cast shadows too.
vertexshader DepthVS {
    in vec4 POSITION0; out float lightW;
    void main()
    {
        gl_Position = ShadowMatrix * vec4(POSITION0.xyz, 1.0);
        lightW = gl_Position.w;
    }
}

pixelshader DepthPS {
    in float lightW; out vec4 COLOR0;
    void main() { COLOR0 = vec4(ShadowMoments(lightW), 0.0, 0.0); }
}

technique Def_SpotLight_shadow {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = ConeVS; PixelShader = SpotLightShadowPS;
    }
}

technique Def_SpotLight_noshadow {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = ConeVS; PixelShader = SpotLightPS;
    }
}

technique Def_PointLight_noshadow {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = SphereVS; PixelShader = PointLightPS;
    }
}

// The markers are solids of their own: front faces, in front of the geometry, whatever the
// light volume's states were.
technique Def_SpotLightVisual {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE; ZFunc = LESSEQUAL; CullMode = CW;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = ConeVS; PixelShader = MarkerPS;
    }
}

technique Def_PointLightVisual {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = FALSE; ZFunc = LESSEQUAL; CullMode = CW;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = ONE; BlendOp = ADD;
        VertexShader = SphereVS; PixelShader = MarkerPS;
    }
}

technique DepthToR {
    pass P0 {
        ZEnable = TRUE; ZWriteEnable = TRUE; ZFunc = LESSEQUAL; CullMode = NONE;
        AlphaBlendEnable = FALSE;
        VertexShader = DepthVS; PixelShader = DepthPS;
    }
}
