// The arena's layer cards ("Arena"): a text card on a quad placed in the world by its layer
// transform, seen through the arena's orthographic camera (VIEWPROJ, set by the scene), laid over
// the white stage in drawing order with premultiplied alpha.
//
// The arena draws straight into the 8-bit back buffer, which the scene then copies into "Color"
// for the closing twitch pass, and that pass tone-maps what it reads. So the stage holds linear
// light, not display values: each card's authored (sRGB) colour is taken back through the final
// tone curve here, so that the curve brings it out again as it was authored. The back buffer
// stops at 1.0, which the curve shows as about 0.9: the brightest the arena gets, its white stage.
#include "shared.fxh"
#include "rendering.fxh"

texture LayerTexture : LAYERTEXTURE;
// The height of the layer's transform: a card fades as it slides towards the frame's edge.
float LayerOffset : LAYEROFFSET = 0.0;

sampler2D LayerSampler = sampler_state {
    Texture = <LayerTexture>; MinFilter = LINEAR; MagFilter = LINEAR; MipFilter = LINEAR;
    AddressU = CLAMP; AddressV = CLAMP;
};

glsl {
    // Half the frame's height is 0.5625: a card is whole up to 0.3 from the middle of the view
    // and gone at 0.55.
    const float FADE_START = 0.3;
    const float FADE_END = 0.55;

    // The inverse of ToneMap at exposure 1: the linear light that the sRGB curve and the ACES fit
    // turn into the display value d. The fit y = x (2.51 x + 0.03) / (x (2.43 x + 0.59) + 0.14)
    // solved for x is the positive root of a x^2 + b x + c = 0 with a = 2.43 y - 2.51,
    // b = 0.59 y - 0.03 and c = 0.14 y, written so that nothing cancels near black.
    vec3 LinearFromDisplay(vec3 d)
    {
        d = clamp(d, 0.0, 1.0);
        vec3 y = mix(d / 12.92, pow((d + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), d));
        // Display values above what 1.0 shows are out of the stage's reach: they stay at 1.0.
        y = min(y, vec3(0.8037));
        vec3 a = 2.43 * y - 2.51;
        vec3 b = 0.59 * y - 0.03;
        vec3 c = 0.14 * y;
        return 2.0 * c / (sqrt(b * b - 4.0 * a * c) - b);
    }
}

vertexshader LayerVS {
    in vec4 POSITION0;
    in vec2 TEXCOORD0;
    out vec2 uv;
    void main()
    {
        gl_Position = ViewProj * vec4(POSITION0.xyz, 1.0);
        uv = TEXCOORD0;
    }
}

pixelshader LayerPS {
    in vec2 uv;
    out vec4 COLOR0;
    void main()
    {
        vec4 card = texture(LayerSampler, uv);
        float fade = 1.0 - smoothstep(FADE_START, FADE_END, abs(LayerOffset - EyePos.y));
        float alpha = card.a * fade;
        COLOR0 = vec4(LinearFromDisplay(card.rgb) * alpha, alpha);
    }
}

// The stage is cleared with depth 0, which would fail every depth test: the cards are flat and
// stack in the order they are drawn, so depth is neither tested nor written.
technique Arena {
    pass P0 {
        ZEnable = FALSE; ZWriteEnable = FALSE; CullMode = NONE; AlphaTestEnable = FALSE;
        AlphaBlendEnable = TRUE; SrcBlend = ONE; DestBlend = INVSRCALPHA;
        VertexShader = LayerVS; PixelShader = LayerPS;
    }
}
