// The rendering contract in code (docs/rendering.md): G-buffer encoding, view positions from
// depth, shadow moments and their test, the light model's terms and the final tone curve.
#pragma once

glsl {
    // View depth -z is stored divided by this; 1.0 (the cleared value) is "nothing here".
    const float GBUFFER_DEPTH_SCALE = 300.0;
    // Shadow maps hold (d, d*d) with d = distance along the light's axis times this.
    const float SHADOW_DEPTH_SCALE = 1.0 / 64.0;

    vec4 EncodeNormalDepth(vec3 viewNormal, float viewZ)
    {
        return vec4(normalize(viewNormal), -viewZ / GBUFFER_DEPTH_SCALE);
    }

    bool IsEmptyDepth(float storedDepth) { return storedDepth >= 0.999; }

    // A screen quad's corner moved half a pixel left and up (Direct3D 9 pixel centres). Only the
    // corner's signs count: the quad may hold the far-plane corners (+-X, +-Y, far) instead.
    vec4 ScreenQuadPosition(vec3 corner, vec2 rtDimPixelInv)
    {
        return vec4(sign(corner.xy) - rtDimPixelInv, 0.0, 1.0);
    }
    vec2 ScreenQuadUV(vec3 corner)
    {
        vec2 c = sign(corner.xy);
        return vec2(c.x * 0.5 + 0.5, 0.5 - c.y * 0.5);
    }

    // The texel under a pixel of a volume drawn in 3D, from its clip position.
    vec2 ScreenUV(vec4 clip, vec2 rtDimPixelInv)
    {
        return clip.xy / clip.w * vec2(0.5, -0.5) + 0.5 + 0.5 * vec2(rtDimPixelInv.x, -rtDimPixelInv.y);
    }

    // The far-plane point through a texel, then the view position at the stored depth.
    vec3 FarRay(vec2 uv, vec3 farClipValues)
    {
        vec2 ndc = vec2(uv.x * 2.0 - 1.0, 1.0 - uv.y * 2.0);
        return vec3(ndc.x * farClipValues.x, ndc.y * farClipValues.y, -farClipValues.z);
    }
    vec3 ViewPosition(vec2 uv, float storedDepth, vec3 farClipValues)
    {
        return FarRay(uv, farClipValues) * (storedDepth * GBUFFER_DEPTH_SCALE / farClipValues.z);
    }

    // The moments of 1 - d: a texel nothing was drawn into (cleared to 0) then stands for the
    // farthest distance a map holds, so the blur mixes "far" into the edges of what was drawn and
    // never invents an occluder there.
    vec2 ShadowMoments(float clipW)
    {
        float d = 1.0 - clamp(clipW * SHADOW_DEPTH_SCALE, 0.0, 1.0);
        return vec2(d, d * d);
    }

    // 1 lit, 0 in shadow, from the blurred moments and the receiver's light clip position.
    float ShadowFactor(sampler2D shadowMap, vec4 lightClip)
    {
        if (lightClip.w <= 0.0)
            return 1.0;
        vec2 ndc = lightClip.xy / lightClip.w;
        if (any(greaterThan(abs(ndc), vec2(1.0))))
            return 1.0;
        vec2 moments = texture(shadowMap, ndc * vec2(0.5, -0.5) + 0.5).rg;
        // Back from 1 - d to d: the mean mirrors, the variance stays.
        float mu = 1.0 - moments.x;
        float t = lightClip.w * SHADOW_DEPTH_SCALE;
        if (t <= mu + 0.002)
            return 1.0;
        float variance = max(moments.y - moments.x * moments.x, 2e-5);
        float d = t - mu;
        float p = variance / (variance + d * d);
        return clamp((p - 0.3) / 0.7, 0.0, 1.0);
    }

    // Full at the light, zero at the radius.
    float Attenuation(float distance, float radius)
    {
        float x = clamp(distance / radius, 0.0, 1.0);
        float f = 1.0 - x * x;
        return f * f;
    }

    // What a light of `colour` reflects towards the eye at a G-buffer pixel (view space).
    vec3 ShadeLight(vec3 albedo, float specular, vec3 n, vec3 position, vec3 toLight, vec3 colour)
    {
        float nl = max(dot(n, toLight), 0.0);
        // The half vector; light straight from behind the eye's ray has none and no highlight.
        vec3 halfway = toLight + normalize(-position);
        float halfLength = length(halfway);
        vec3 h = halfLength > 1e-5 ? halfway / halfLength : n;
        float highlight = halfLength > 1e-5 ? specular * pow(max(dot(n, h), 0.0), 40.0) * step(0.0, nl - 1e-4) : 0.0;
        return colour * (albedo * nl + vec3(highlight));
    }

    // The probe's cube map holds at direction d what the probe sees looking along -d.
    vec3 ProbeLookup(samplerCube cube, vec3 lookAlong) { return texture(cube, -lookAlong).rgb; }

    // HDR light into 8 bits and back, for the 8-bit blur targets.
    vec3 EncodeLDR(vec3 c) { c = max(c, vec3(0.0)); return c / (1.0 + c); }
    vec3 DecodeLDR(vec3 c) { c = min(c, vec3(0.996)); return c / (1.0 - c); }

    // Exposure, the ACES filmic fit and the sRGB curve: linear HDR to display values.
    vec3 ToneMap(vec3 c, float exposure)
    {
        c = max(c * exposure, vec3(0.0));
        c = clamp((c * (2.51 * c + 0.03)) / (c * (2.43 * c + 0.59) + 0.14), 0.0, 1.0);
        vec3 low = c * 12.92;
        vec3 high = 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055;
        return mix(low, high, step(vec3(0.0031308), c));
    }
}
