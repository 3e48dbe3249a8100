// The screen-space passes of the show ("postfx"): fills and copies, separable and edge-aware blurs,
// the mix of direct and indirect light, depth of field, the closing twitch pass that turns the HDR
// picture into display values, and the four overlay cards. Every pass draws the screen quad
// (corners (+-1, +-1)) with depth, culling and (except the overlays) blending off.
#include "shared.fxh"
#include "rendering.fxh"

float2 RTDimPixelInv : RTDIMPIXELINV = {0.0, 0.0};
float2 Tx1DimPixelInv : TX1DIMPIXELINV = {0.0, 0.0};
float4 Value1 : VALUE1 = {1.0, 1.0, 1.0, 1.0};
float BufDimX : BUFDIMX = 1.0;
float BufDimY : BUFDIMY = 1.0;
float2 GaussOffsets[9] : GAUSSOFFSETS;
// Per colour channel (red, green, blue): displacement x, y and the smear along the motion z, w.
float4 TwitchParams[3] : TWITCHBLUR;
float4 TwitchFlash : TWITCHFLASH = {0.0, 0.0, 0.0, 1.0};
float Exposure : EXPOSURE = 1.0;
float OverlayFade : OVERLAYFADE = 0.0;
// Depth of field runs its horizontal blur more than once: the first reads the HDR source as it is,
// every later one reads the 8-bit blur target and has to expand it (1.0) first.
float DofSourceEncoded : DOFSOURCEENCODED = 0.0;

texture ColTex1 : COLTEX1;
texture ColTex2 : COLTEX2;
texture DepthTex : DEPTHTEX;

// The overlay cards, loaded with the effect.
texture Card0 : TEXTURE0 < string ResourceName = "overlay0.png"; >;
texture Card1 : TEXTURE1 < string ResourceName = "overlay1.png"; >;
texture Card2 : TEXTURE2 < string ResourceName = "overlay2.png"; >;
texture Card3 : TEXTURE3 < string ResourceName = "overlay3.png"; >;

sampler2D Source1 = sampler_state {
    Texture = <ColTex1>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D Source2 = sampler_state {
    Texture = <ColTex2>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
// Copies read each texel as it is.
sampler2D Copy1 = sampler_state {
    Texture = <ColTex1>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D Copy2 = sampler_state {
    Texture = <ColTex2>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
// Normals and depths are never blended between texels: an edge stays an edge.
sampler2D Guide = sampler_state {
    Texture = <ColTex1>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D Depth = sampler_state {
    Texture = <DepthTex>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D CardSampler0 = sampler_state {
    Texture = <Card0>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D CardSampler1 = sampler_state {
    Texture = <Card1>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D CardSampler2 = sampler_state {
    Texture = <Card2>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D CardSampler3 = sampler_state {
    Texture = <Card3>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = CLAMP; AddressV = CLAMP;
};

glsl {
    // Gaussian over nine texels in five reads: the outer pairs are read between their texels, so
    // linear filtering adds them with the right weights. The weights sum to 1, which keeps shadow
    // moments averages.
    const float BLUR_OFFSETS[3] = float[](0.0, 1.3846153846, 3.2307692308);
    const float BLUR_WEIGHTS[3] = float[](0.2270270270, 0.3162162162, 0.0702702703);

    vec4 Blur9(sampler2D s, vec2 uv, vec2 step)
    {
        vec4 sum = texture(s, uv) * BLUR_WEIGHTS[0];
        for (int i = 1; i < 3; ++i) {
            sum += texture(s, uv + step * BLUR_OFFSETS[i]) * BLUR_WEIGHTS[i];
            sum += texture(s, uv - step * BLUR_OFFSETS[i]) * BLUR_WEIGHTS[i];
        }
        return sum;
    }

    // Depth of field: the blur reaches DOF_RADIUS source texels where the picture is wholly out of
    // focus; DOF_TAPS taps on each side of the centre.
    const float DOF_RADIUS = 6.0;
    const int DOF_TAPS = 6;

    // 0 in focus, 1 at FocusMaxZ.y units or more from the focus distance FocusMaxZ.x.
    float CircleOfConfusion(vec2 uv)
    {
        float z = texture(Depth, uv).r;
        return clamp(abs(z - FocusMaxZ.x) / max(FocusMaxZ.y, 1e-4), 0.0, 1.0);
    }

    vec3 DofRead(vec2 uv, bool encoded)
    {
        vec3 c = texture(Source1, uv).rgb;
        return encoded ? DecodeLDR(c) : max(c, vec3(0.0));
    }

    vec4 DofBlur(vec2 uv, vec2 direction, bool encoded)
    {
        float radius = CircleOfConfusion(uv) * DOF_RADIUS;
        vec2 step = direction * Tx1DimPixelInv * (radius / float(DOF_TAPS));
        vec3 sum = vec3(0.0);
        float weights = 0.0;
        for (int k = -DOF_TAPS; k <= DOF_TAPS; ++k) {
            float x = float(k) / float(DOF_TAPS);
            float w = exp(-2.0 * x * x);
            sum += DofRead(uv + step * float(k), encoded) * w;
            weights += w;
        }
        return vec4(EncodeLDR(sum / weights), 1.0);
    }

    // Where a card sits on the target: centred across, `across` of the target's width wide, its
    // middle at `down` of the height; the height follows from the card's own shape.
    vec4 Card(sampler2D card, vec2 uv, float across, float down)
    {
        vec2 cardSize = vec2(textureSize(card, 0));
        float targetAspect = abs(RTDimPixelInv.y) / max(RTDimPixelInv.x, 1e-8);
        float tall = across * targetAspect * cardSize.y / cardSize.x;
        vec2 cardUV = vec2((uv.x - 0.5) / across + 0.5, (uv.y - down) / tall + 0.5);
        if (any(lessThan(cardUV, vec2(0.0))) || any(greaterThan(cardUV, vec2(1.0))))
            return vec4(0.0);
        vec4 c = texture(card, cardUV);
        return vec4(c.rgb, c.a * clamp(OverlayFade, 0.0, 1.0));
    }
}

vertexshader ScreenVS {
    in vec4 POSITION0;
    out vec2 uv;
    void main()
    {
        gl_Position = ScreenQuadPosition(POSITION0.xyz, RTDimPixelInv);
        uv = ScreenQuadUV(POSITION0.xyz);
    }
}

pixelshader FillPS {
    out vec4 COLOR0;
    void main() { COLOR0 = Value1; }
}

// A plain copy: HDR stays HDR.
pixelshader BlitPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = texture(Copy1, uv) * Value1; }
}

pixelshader AlphaToGreyPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = vec4(texture(Copy1, uv).a) * Value1; }
}

pixelshader BlurVPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Blur9(Source1, uv, vec2(0.0, Tx1DimPixelInv.y)); }
}

pixelshader BlurHPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Blur9(Source1, uv, vec2(Tx1DimPixelInv.x, 0.0)); }
}

// Edge-aware blur of COLTEX2 steered by the normal/depth guide COLTEX1: a tap counts less the more
// a normal under it turns away from the centre's and the farther a depth under it lies from the
// centre's, relative to that depth; a tap over an empty pixel counts nothing. The taps lie between
// texels and read the light of two or four at once, so every guide texel under a tap is looked at.
// The taps are placed by the grid's shape around its middle entry, so the grid is centred on the
// pixel wherever the table puts its middle.
pixelshader BilateralPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 centreGuide = texture(Guide, uv);
        vec4 centre = texture(Source2, uv);
        if (IsEmptyDepth(centreGuide.a)) {
            COLOR0 = centre;
            return;
        }
        vec3 centreNormal = centreGuide.xyz;
        float centreDepth = max(centreGuide.a, 1e-5);
        vec2 guideSize = vec2(BufDimX, BufDimY);
        vec4 sum = vec4(0.0);
        float weights = 0.0;
        for (int i = 0; i < 9; ++i) {
            vec2 offset = GaussOffsets[i] - GaussOffsets[4];
            // Half a texel each way along an axis where the tap falls between texels.
            vec2 inTexels = offset * guideSize;
            vec2 spread = step(vec2(0.25), abs(inTexels - round(inTexels))) * 0.5 / guideSize;
            float edge = 1.0;
            for (int k = 0; k < 4; ++k) {
                vec2 corner = vec2((k & 1) == 0 ? -1.0 : 1.0, (k & 2) == 0 ? -1.0 : 1.0);
                vec4 guide = texture(Guide, uv + offset + corner * spread);
                if (IsEmptyDepth(guide.a)) {
                    edge = 0.0;
                    break;
                }
                float facing = pow(clamp(dot(guide.xyz, centreNormal), 0.0, 1.0), 16.0);
                float relative = abs(guide.a - centreGuide.a) / centreDepth;
                edge = min(edge, facing * clamp(1.0 - relative * 20.0, 0.0, 1.0));
            }
            // Centre 1, sides 1/2, corners 1/4.
            float spatial = (i == 4) ? 1.0 : ((i & 1) == 1 ? 0.5 : 0.25);
            float w = spatial * edge;
            sum += texture(Source2, uv + offset) * w;
            weights += w;
        }
        COLOR0 = weights > 0.0 ? sum / weights : centre;
    }
}

pixelshader MixIndirectPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 direct = texture(Copy1, uv);
        COLOR0 = vec4(direct.rgb + texture(Copy2, uv).rgb, direct.a);
    }
}

pixelshader DofBlurHPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = DofBlur(uv, vec2(1.0, 0.0), DofSourceEncoded > 0.5); }
}

pixelshader DofBlurVPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = DofBlur(uv, vec2(0.0, 1.0), true); }
}

// The sharp HDR picture (COLTEX2) where the depth is in focus, the blurred one (COLTEX1, 8-bit)
// where it is not.
pixelshader DofComposePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 sharp = texture(Source2, uv);
        vec3 blurred = DecodeLDR(texture(Source1, uv).rgb);
        float amount = smoothstep(0.0, 0.5, CircleOfConfusion(uv));
        COLOR0 = vec4(mix(sharp.rgb, blurred, amount), sharp.a);
    }
}

// Each colour channel read displaced by its own offset and smeared along the motion, then exposure,
// tone curve and the flash: the HDR picture becomes display values here.
pixelshader TwitchPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        const int taps = 5;
        vec3 c;
        for (int channel = 0; channel < 3; ++channel) {
            vec4 p = TwitchParams[channel];
            float sum = 0.0;
            for (int k = 0; k < taps; ++k)
                sum += texture(Source1, uv + p.xy + p.zw * (float(k) / float(taps - 1)))[channel];
            c[channel] = sum / float(taps);
        }
        // Half floats reach 65504; anything beyond (an infinity) is taken as that.
        c = ToneMap(clamp(c, vec3(0.0), vec3(65504.0)), Exposure);
        COLOR0 = vec4(clamp(c + TwitchFlash.rgb, 0.0, 1.0), 1.0);
    }
}

// The cards are display values, laid over whatever the target holds: the title in the middle,
// the captions in the lower third.
pixelshader Overlay0PS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Card(CardSampler0, uv, 0.7, 0.5); }
}
pixelshader Overlay1PS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Card(CardSampler1, uv, 0.6, 0.8); }
}
pixelshader Overlay2PS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Card(CardSampler2, uv, 0.6, 0.8); }
}
pixelshader Overlay3PS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = Card(CardSampler3, uv, 0.6, 0.8); }
}

#define SCREEN_PASS(ps) \
    pass P0 { ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE; AlphaTestEnable = FALSE; VertexShader = ScreenVS; PixelShader = ps; }

// Straight alpha over the target; the target's own alpha stays.
#define OVERLAY_PASS(ps) \
    pass P0 { ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaTestEnable = FALSE; AlphaBlendEnable = TRUE; SrcBlend = SRCALPHA; DestBlend = INVSRCALPHA; SeparateAlphaBlendEnable = TRUE; SrcBlendAlpha = ZERO; DestBlendAlpha = ONE; VertexShader = ScreenVS; PixelShader = ps; }

technique FillQuad { SCREEN_PASS(FillPS) }
technique BlitQuad { SCREEN_PASS(BlitPS) }
technique BlitQuadAlphaToGrey { SCREEN_PASS(AlphaToGreyPS) }
technique BlurV { SCREEN_PASS(BlurVPS) }
technique BlurH { SCREEN_PASS(BlurHPS) }
technique Bilateral_Blur_Filter { SCREEN_PASS(BilateralPS) }
technique MixIndirectLight { SCREEN_PASS(MixIndirectPS) }
technique DOF_blurH { SCREEN_PASS(DofBlurHPS) }
technique DOF_blurV { SCREEN_PASS(DofBlurVPS) }
technique DofQuad { SCREEN_PASS(DofComposePS) }
technique TwitchBlur { SCREEN_PASS(TwitchPS) }
technique Overlay0 { OVERLAY_PASS(Overlay0PS) }
technique Overlay1 { OVERLAY_PASS(Overlay1PS) }
technique Overlay2 { OVERLAY_PASS(Overlay2PS) }
technique Overlay3 { OVERLAY_PASS(Overlay3PS) }

// ---- Channel copies, mixers, fades and bloom ----
// The bloom levels (COLTEX2 to COLTEX5) are smaller than the picture and read with linear
// filtering, which spreads each of their texels smoothly over the picture's pixels.
// Light below this luminance makes no glow; the module sets it for the first down-sample only,
// the later levels take what the first let through (0).
float BloomThreshold : BLOOMTHRESHOLD = 0.0;

texture ColTex3 : COLTEX3;
texture ColTex4 : COLTEX4;
texture ColTex5 : COLTEX5;

sampler2D Source3 = sampler_state {
    Texture = <ColTex3>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D Source4 = sampler_state {
    Texture = <ColTex4>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
sampler2D Source5 = sampler_state {
    Texture = <ColTex5>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};

glsl {
    // Relative luminance of linear light (Rec. 709 primaries).
    const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);

    // The glow the bloom levels add: each level half the size of the one before, so together
    // they reach from a few pixels to a good part of the picture.
    vec3 GlowNear(vec2 uv) { return (texture(Source2, uv).rgb + texture(Source3, uv).rgb) * 0.5; }
    vec3 GlowFar(vec2 uv) { return (texture(Source4, uv).rgb + texture(Source5, uv).rgb) * 0.5; }
}

pixelshader RedToGreyPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = vec4(texture(Copy1, uv).r) * Value1; }
}
pixelshader GreenToGreyPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = vec4(texture(Copy1, uv).g) * Value1; }
}
pixelshader BlueToGreyPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = vec4(texture(Copy1, uv).b) * Value1; }
}
// The luminance in red, green and blue; alpha stays.
pixelshader GreyScalePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 c = texture(Copy1, uv);
        COLOR0 = vec4(vec3(dot(c.rgb, LUMINANCE)), c.a) * Value1;
    }
}

// COLTEX1 where VALUE1.x is 0, COLTEX2 where it is 1.
pixelshader BlendPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = mix(texture(Source1, uv), texture(Source2, uv), Value1.x); }
}

// The picture faded towards VALUE1.rgb by VALUE1.a; its alpha stays.
pixelshader FadeToColorPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 c = texture(Copy1, uv);
        COLOR0 = vec4(mix(c.rgb, Value1.rgb, clamp(Value1.a, 0.0, 1.0)), c.a);
    }
}

// Unsharp masking over three scales: the sharp picture (COLTEX1) plus its difference from the
// mean of its three blurs. Flat areas stay as they are; edges gain contrast. Light never goes
// below zero.
pixelshader MixUnsharpPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 sharp = texture(Copy1, uv);
        vec3 blurred = (texture(Source2, uv).rgb + texture(Source3, uv).rgb + texture(Source4, uv).rgb) / 3.0;
        COLOR0 = vec4(max(2.0 * sharp.rgb - blurred, vec3(0.0)), sharp.a);
    }
}

// Linear light from 0 at the left edge to 1 at the right: a card to check the tone curve by.
pixelshader RampPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = vec4(vec3(uv.x), 1.0); }
}

// The mean of the source under a pixel of the smaller target, less BLOOMTHRESHOLD: four linear reads a quarter of a
// target pixel from its centre each cover a 2 x 2 block of source texels when the target is half
// the size, a 4 x 4 block when it is a quarter.
pixelshader DownSamplePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 d = abs(RTDimPixelInv) * 0.25;
        vec4 mean = (texture(Source1, uv + vec2(-d.x, -d.y)) + texture(Source1, uv + vec2(d.x, -d.y)) +
                     texture(Source1, uv + vec2(-d.x, d.y)) + texture(Source1, uv + vec2(d.x, d.y))) * 0.25;
        // Only what lies above the threshold glows, with its own hue.
        vec3 light = max(mean.rgb, vec3(0.0));
        float luminance = dot(light, LUMINANCE);
        float kept = luminance > 0.0 ? max(luminance - BloomThreshold, 0.0) / luminance : 0.0;
        COLOR0 = vec4(light * kept, mean.a);
    }
}

// The picture x VALUE1.x plus the mean glow of the four levels x VALUE1.y; alpha stays.
pixelshader BloomCombinePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 full = texture(Copy1, uv);
        vec3 glow = (GlowNear(uv) + GlowFar(uv)) * 0.5;
        COLOR0 = vec4(full.rgb * Value1.x + glow * Value1.y, full.a);
    }
}

// With VALUE1 = (e + 1, e, e^2): (picture + e x near glow + e^2 x far glow) / (e + 1). At e = 0 the
// picture as it is; as e grows the light moves out into ever wider glow.
pixelshader BloomFadeCombinePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 full = texture(Copy1, uv);
        vec3 c = (full.rgb + GlowNear(uv) * Value1.y + GlowFar(uv) * Value1.z) / max(Value1.x, 1e-4);
        COLOR0 = vec4(c, full.a);
    }
}

glsl {
    // Sobel weights over the 3 x 3 grid of GAUSSOFFSETS, in the grid's order (its rows +dy, 0,
    // -dy). Only the gradient's length is used, so the sign of either axis does not matter.
    const float SOBEL_X[9] = float[](-1.0, 0.0, 1.0, -2.0, 0.0, 2.0, -1.0, 0.0, 1.0);
    const float SOBEL_Y[9] = float[](1.0, 2.0, 1.0, 0.0, 0.0, 0.0, -1.0, -2.0, -1.0);

    vec2 SobelTap(vec2 uv, int i) { return uv + GaussOffsets[i]; }
}

// The length of the luminance gradient, in every colour channel; alpha 1.
pixelshader SobelPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 g = vec2(0.0);
        for (int i = 0; i < 9; ++i) {
            float l = dot(max(texture(Copy1, SobelTap(uv, i)).rgb, vec3(0.0)), LUMINANCE);
            g += vec2(SOBEL_X[i], SOBEL_Y[i]) * l;
        }
        COLOR0 = vec4(vec3(length(g)), 1.0);
    }
}

// On a normal/depth target: the Sobel gradient of the normals (each of x, y, z) measures how
// sharply the surface turns; 1 where it is smooth or curves gently, down to 0 at creases where
// two surfaces meet. Nothing occludes from empty pixels, and empty pixels are not occluded.
pixelshader SobelAOPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 centre = texture(Guide, uv);
        if (IsEmptyDepth(centre.a)) {
            COLOR0 = vec4(1.0);
            return;
        }
        vec3 gx = vec3(0.0), gy = vec3(0.0);
        for (int i = 0; i < 9; ++i) {
            vec4 tap = texture(Guide, SobelTap(uv, i));
            vec3 n = IsEmptyDepth(tap.a) ? centre.xyz : tap.xyz;
            gx += SOBEL_X[i] * n;
            gy += SOBEL_Y[i] * n;
        }
        float edge = sqrt(dot(gx, gx) + dot(gy, gy));
        COLOR0 = vec4(vec3(1.0 - smoothstep(0.6, 2.0, edge)), 1.0);
    }
}

// Normals and depths of the edge-aware occlusion filter's guide (COLTEX2), never blended.
sampler2D Guide2 = sampler_state {
    Texture = <ColTex2>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};

// The occlusion (COLTEX1) averaged over the 3 x 3 grid, a tap counting less the more its normal
// turns from the centre's and the farther its depth lies from the centre's, relative to that
// depth. Taps over empty pixels count nothing; an empty centre keeps its own value.
pixelshader BilateralSSAOPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 centreGuide = texture(Guide2, uv);
        vec4 centre = texture(Copy1, uv);
        if (IsEmptyDepth(centreGuide.a)) {
            COLOR0 = centre;
            return;
        }
        float centreDepth = max(centreGuide.a, 1e-5);
        vec4 sum = vec4(0.0);
        float weights = 0.0;
        for (int i = 0; i < 9; ++i) {
            vec2 tapUV = uv + GaussOffsets[i] - GaussOffsets[4];
            vec4 guide = texture(Guide2, tapUV);
            if (IsEmptyDepth(guide.a))
                continue;
            float facing = pow(clamp(dot(guide.xyz, centreGuide.xyz), 0.0, 1.0), 16.0);
            float relative = abs(guide.a - centreGuide.a) / centreDepth;
            float spatial = (i == 4) ? 1.0 : ((i & 1) == 1 ? 0.5 : 0.25);
            float w = spatial * facing * clamp(1.0 - relative * 20.0, 0.0, 1.0);
            sum += texture(Copy1, tapUV) * w;
            weights += w;
        }
        COLOR0 = weights > 0.0 ? sum / weights : centre;
    }
}

// The colour times the occlusion's red (the occlusion may be smaller: read filtered); alpha stays.
pixelshader AOCombinePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 c = texture(Copy1, uv);
        COLOR0 = vec4(c.rgb * clamp(texture(Source2, uv).r, 0.0, 1.0), c.a);
    }
}

technique Def_Bilateral_SSAO_Filter { SCREEN_PASS(BilateralSSAOPS) }
technique AmbientOcclusionCombine { SCREEN_PASS(AOCombinePS) }
// A light blur over three texels (1/4, 1/2, 1/4) in two linear reads half a texel either side.
pixelshader BlurVLowPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 d = vec2(0.0, Tx1DimPixelInv.y * 0.5);
        COLOR0 = (texture(Source1, uv - d) + texture(Source1, uv + d)) * 0.5;
    }
}
pixelshader BlurHLowPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 d = vec2(Tx1DimPixelInv.x * 0.5, 0.0);
        COLOR0 = (texture(Source1, uv - d) + texture(Source1, uv + d)) * 0.5;
    }
}

technique BlurVLow { SCREEN_PASS(BlurVLowPS) }
technique BlurHLow { SCREEN_PASS(BlurHLowPS) }
technique Sobel_Filter { SCREEN_PASS(SobelPS) }
technique SobelAO_Filter { SCREEN_PASS(SobelAOPS) }
technique BlitQuadRedToGrey { SCREEN_PASS(RedToGreyPS) }
technique BlitQuadGreenToGrey { SCREEN_PASS(GreenToGreyPS) }
technique BlitQuadBlueToGrey { SCREEN_PASS(BlueToGreyPS) }
technique BlitQuadGreyScale { SCREEN_PASS(GreyScalePS) }
technique Blend { SCREEN_PASS(BlendPS) }
technique FadeToColor { SCREEN_PASS(FadeToColorPS) }
technique MixUnsharp { SCREEN_PASS(MixUnsharpPS) }
technique ramp { SCREEN_PASS(RampPS) }
technique DownSample { SCREEN_PASS(DownSamplePS) }
technique BloomCombine { SCREEN_PASS(BloomCombinePS) }
technique BloomFadeCombine { SCREEN_PASS(BloomFadeCombinePS) }

// Screen-space ambient occlusion. The quad holds the far-plane corners of the camera that drew the
// normal/depth target, (+-X, +-Y, far): each pixel gets the view ray through it, and the 16 kernel
// vectors, turned into the normal's hemisphere and scaled by the radius, probe the scene around
// the pixel's view position. A probe behind the stored surface at its texel counts as occluded,
// fading out where that surface lies farther away than radius x distance scale (a silhouette in
// front is not a contact).
float SsaoKernel[48] : SSAOKERNEL;
float SampleRadius : SAMPLERADIUS = 0.5;
float SampleDistanceScale : SAMPLEDISTANCESCALE = 4.0;
float4x4 Projection : PROJECTIONMATRIX;

vertexshader FarRayVS {
    in vec4 POSITION0;
    out vec2 uv;
    out vec3 ray;
    flat out vec3 farValues;
    void main()
    {
        gl_Position = ScreenQuadPosition(POSITION0.xyz, RTDimPixelInv);
        uv = ScreenQuadUV(POSITION0.xyz);
        ray = vec3(POSITION0.xy, -POSITION0.z);
        farValues = abs(POSITION0.xyz);
    }
}

pixelshader AmbientOcclusionPS {
    in vec2 uv; in vec3 ray; flat in vec3 farValues; out vec4 COLOR0;
    void main()
    {
        vec4 centre = texture(Guide, uv);
        if (IsEmptyDepth(centre.a) || farValues.z <= 0.0) {
            COLOR0 = vec4(1.0);
            return;
        }
        vec3 n = normalize(centre.xyz);
        vec3 p = ray * (centre.a * GBUFFER_DEPTH_SCALE / farValues.z);
        // Probes start a little off the surface so that a flat floor does not occlude itself.
        vec3 origin = p + n * (0.02 * SampleRadius);
        float reach = max(SampleRadius * SampleDistanceScale, 1e-4);
        float occluded = 0.0;
        for (int i = 0; i < 16; ++i) {
            vec3 k = vec3(SsaoKernel[i * 3], SsaoKernel[i * 3 + 1], SsaoKernel[i * 3 + 2]);
            k = dot(k, n) < 0.0 ? -k : k;
            vec3 q = origin + k * SampleRadius;
            if (q.z >= -1e-3)
                continue;
            vec2 ndc = (q.xy * (farValues.z / -q.z)) / farValues.xy;
            vec2 probeUV = vec2(ndc.x * 0.5 + 0.5, 0.5 - ndc.y * 0.5);
            if (any(lessThan(probeUV, vec2(0.0))) || any(greaterThan(probeUV, vec2(1.0))))
                continue;
            float stored = texture(Guide, probeUV).a;
            if (IsEmptyDepth(stored))
                continue;
            float surface = stored * GBUFFER_DEPTH_SCALE;
            float probe = -q.z;
            // A texel stands for a patch of surface that grows with distance: the tolerance too.
            if (surface < probe - (0.01 + 0.02 * probe))
                occluded += 1.0 - smoothstep(0.5 * reach, reach, probe - surface);
        }
        COLOR0 = vec4(vec3(1.0 - occluded / 16.0), 1.0);
    }
}

technique AmbientOcclusion {
    pass P0 { ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE; AlphaTestEnable = FALSE; VertexShader = FarRayVS; PixelShader = AmbientOcclusionPS; }
}

// ---- Motion and exponential blurs, masked bloom, alpha-weighted blur, saturation, normals from
// depth and the sunlight on the G-buffer ----
texture VecTex1 : VECTEX1;
// Read texel by texel: each pixel's own motion (MotionBlur), the picture ExpBlur weighs.
sampler2D Vec1 = sampler_state {
    Texture = <VecTex1>; MinFilter = POINT; MagFilter = POINT; MipFilter = NONE;
    AddressU = CLAMP; AddressV = CLAMP;
};
float3 FarClipValues : FARCLIPVALUES;
float3 DLightDir : DLIGHTDIR;
float3 UpDir : UPDIR;

glsl {
    const int MOTION_TAPS = 9;
    // The exponential kernel: weight e^(-r / EXP_FALLOFF) at r texels, out to EXP_REACH texels
    // along either axis.
    const float EXP_FALLOFF = 1.5;
    const int EXP_REACH = 4;
    // The nine-texel Gaussian of Blur9, one weight a texel, for blurs that read texels one by one.
    const float GAUSS9[5] = float[](0.2270270270, 0.1945945946, 0.1216216216, 0.0540540541, 0.0162162162);

    // Texels whose alpha is 0 lend nothing: colour weighted by alpha, alpha itself blurred.
    vec4 AlphaWeightedBlur(vec2 uv, vec2 step)
    {
        vec3 colour = vec3(0.0);
        float coverage = 0.0;
        for (int k = -4; k <= 4; ++k) {
            vec4 c = texture(Copy1, uv + step * float(k));
            float w = GAUSS9[abs(k)] * clamp(c.a, 0.0, 1.0);
            colour += c.rgb * w;
            coverage += w;
        }
        return vec4(coverage > 0.0 ? colour / coverage : vec3(0.0), coverage);
    }
}

// The colour averaged along the pixel's motion, centred on the pixel: from where it was half a
// frame ago to where it will be half a frame on. Red and green of VECTEX1 are the motion in texels
// of the colour, y down; alpha stays.
pixelshader MotionBlurPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 motion = texture(Vec1, uv).rg * Tx1DimPixelInv;
        vec4 centre = texture(Source1, uv);
        vec3 sum = vec3(0.0);
        for (int i = 0; i < MOTION_TAPS; ++i) {
            float t = float(i) / float(MOTION_TAPS - 1) - 0.5;
            sum += texture(Source1, uv + motion * t).rgb;
        }
        COLOR0 = vec4(sum / float(MOTION_TAPS), centre.a);
    }
}

// VECTEX1 under a kernel that falls off exponentially with the distance: most weight near the
// pixel, a long thin skirt farther out. The weights sum to 1, so flat areas stay as they are.
pixelshader ExpBlurPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 sum = vec4(0.0);
        float weights = 0.0;
        for (int y = -EXP_REACH; y <= EXP_REACH; ++y)
            for (int x = -EXP_REACH; x <= EXP_REACH; ++x) {
                float w = exp(-length(vec2(x, y)) / EXP_FALLOFF);
                sum += texture(Vec1, uv + vec2(x, y) * Tx1DimPixelInv) * w;
                weights += w;
            }
        COLOR0 = sum / weights;
    }
}

// As DownSample, only what the source's alpha marks: each read's colour times its alpha.
pixelshader DownSampleAndMaskPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec2 d = abs(RTDimPixelInv) * 0.25;
        vec3 sum = vec3(0.0);
        for (int i = 0; i < 4; ++i) {
            vec4 c = texture(Source1, uv + vec2((i & 1) == 0 ? -d.x : d.x, i < 2 ? -d.y : d.y));
            sum += max(c.rgb, vec3(0.0)) * clamp(c.a, 0.0, 1.0);
        }
        COLOR0 = vec4(sum * 0.25, 1.0);
    }
}

// The source x VALUE1.x plus the glow (COLTEX2, smaller, read filtered) x VALUE1.y; alpha stays.
pixelshader CombineAlphaPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 source = texture(Copy1, uv);
        COLOR0 = vec4(source.rgb * Value1.x + texture(Source2, uv).rgb * Value1.y, source.a);
    }
}

pixelshader BlurVAAPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = AlphaWeightedBlur(uv, vec2(0.0, Tx1DimPixelInv.y)); }
}
pixelshader BlurHAAPS {
    in vec2 uv; out vec4 COLOR0;
    void main() { COLOR0 = AlphaWeightedBlur(uv, vec2(Tx1DimPixelInv.x, 0.0)); }
}

// The source's luminance with its colour pushed from grey by VALUE1.x, half of that colour taken
// from the blurred copy (COLTEX1): at 1 flat areas are as they were and colour bleeds softly over
// edges, at 0 the picture is grey, above 1 it is more vivid. Alpha stays.
pixelshader SaturatePS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        vec4 source = texture(Copy2, uv);
        vec3 blurred = texture(Copy1, uv).rgb;
        float grey = dot(source.rgb, LUMINANCE);
        vec3 chroma = (source.rgb - vec3(grey)) * 0.5 + (blurred - vec3(dot(blurred, LUMINANCE))) * 0.5;
        COLOR0 = vec4(max(vec3(grey) + chroma * Value1.x, vec3(0.0)), source.a);
    }
}

// View normals from a depth picture (red, depth / 300): the view positions of the texel and its
// neighbours through the camera's far-plane extent (FARCLIPVALUES), and on each axis the
// neighbour nearer in depth, so that a silhouette does not bend the surface in front of it.
pixelshader DepthToNormalPS {
    in vec2 uv; out vec4 COLOR0;
    void main()
    {
        float d = texture(Copy1, uv).r;
        if (IsEmptyDepth(d)) {
            COLOR0 = vec4(0.0, 0.0, -1.0, 1.0);
            return;
        }
        vec3 p = ViewPosition(uv, d, FarClipValues);
        vec3 sides[2];
        for (int axis = 0; axis < 2; ++axis) {
            vec2 step = axis == 0 ? vec2(Tx1DimPixelInv.x, 0.0) : vec2(0.0, Tx1DimPixelInv.y);
            float after = texture(Copy1, uv + step).r;
            float before = texture(Copy1, uv - step).r;
            bool useAfter = !IsEmptyDepth(after) && (IsEmptyDepth(before) || abs(after - d) <= abs(before - d));
            if (useAfter)
                sides[axis] = ViewPosition(uv + step, after, FarClipValues) - p;
            else if (!IsEmptyDepth(before))
                sides[axis] = p - ViewPosition(uv - step, before, FarClipValues);
            else
                sides[axis] = vec3(0.0);
        }
        // Right and down in the picture: their cross product points out of the surface.
        vec3 n = cross(sides[1], sides[0]);
        if (dot(n, n) < 1e-20)
            n = -p;
        n = normalize(n);
        if (dot(n, p) > 0.0)
            n = -n;
        COLOR0 = vec4(n, d);
    }
}

// Sunlight and sky light on the G-buffer: albedo and specular strength (COLTEX1), normal and
// depth (COLTEX2), the sky's occlusion (COLTEX3, red). DLIGHTDIR is where the sun's light travels
// and UPDIR the world's up, both in view space. Nothing is lit where nothing was drawn.
glsl {
    const vec3 SUN_COLOUR = vec3(1.0, 0.96, 0.9);
    const vec3 SKY_COLOUR = vec3(0.30, 0.36, 0.45);
    const vec3 GROUND_COLOUR = vec3(0.10, 0.09, 0.08);
}

pixelshader AlbedoPS {
    in vec2 uv; in vec3 ray; flat in vec3 farValues; out vec4 COLOR0;
    void main()
    {
        vec4 surface = texture(Guide2, uv);
        if (IsEmptyDepth(surface.a) || farValues.z <= 0.0) {
            COLOR0 = vec4(0.0, 0.0, 0.0, 1.0);
            return;
        }
        vec4 albedo = texture(Copy1, uv);
        vec3 n = normalize(surface.xyz);
        vec3 p = ray * (surface.a * GBUFFER_DEPTH_SCALE / farValues.z);
        vec3 l = -normalize(DLightDir);
        float nl = max(dot(n, l), 0.0);
        vec3 h = normalize(l - normalize(p));
        float highlight = nl > 0.0 ? pow(max(dot(n, h), 0.0), 40.0) : 0.0;
        float facingUp = dot(n, normalize(UpDir)) * 0.5 + 0.5;
        vec3 sky = mix(GROUND_COLOUR, SKY_COLOUR, facingUp) * clamp(texture(Source3, uv).r, 0.0, 1.0);
        vec3 light = albedo.rgb * (SUN_COLOUR * nl + sky) + SUN_COLOUR * (albedo.a * highlight);
        COLOR0 = vec4(light, 1.0);
    }
}

technique MotionBlur { SCREEN_PASS(MotionBlurPS) }
technique ExpBlur { SCREEN_PASS(ExpBlurPS) }
technique DownSampleAndMask { SCREEN_PASS(DownSampleAndMaskPS) }
technique Combine_alpha { SCREEN_PASS(CombineAlphaPS) }
technique BlurVAA { SCREEN_PASS(BlurVAAPS) }
technique BlurHAA { SCREEN_PASS(BlurHAAPS) }
technique Saturate { SCREEN_PASS(SaturatePS) }
technique DepthToNormal { SCREEN_PASS(DepthToNormalPS) }
technique Def_Albedo {
    pass P0 { ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaBlendEnable = FALSE; AlphaTestEnable = FALSE; VertexShader = FarRayVS; PixelShader = AlbedoPS; }
}
