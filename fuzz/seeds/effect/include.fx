#include "shared.fxh"
#define TINT 0.5
float4 Tint : DIFFUSE < string Note = "x"; int Count = 3; float Scale = 0.5; > = {TINT, 1, 1, 1};
texture Map : TEXTURE0 < string ResourceName = "a.png"; >;
sampler2D MapSampler = sampler_state { Texture = <Map>; MinFilter = LINEAR; AddressU = WRAP; };
glsl { vec4 Shade(vec4 c) { return c * Tint; } }
vertexshader VS { in vec4 POSITION0; in vec2 TEXCOORD0; out vec2 uv; void main() { gl_Position = POSITION0; uv = TEXCOORD0; } }
pixelshader PS { in vec2 uv; out vec4 COLOR0; void main() { COLOR0 = Shade(texture(MapSampler, uv)) * Time; } }
technique A { pass P0 { ZEnable = TRUE; CullMode = NONE; AlphaBlendEnable = TRUE; SrcBlend = SRCALPHA; DestBlend = INVSRCALPHA; VertexShader = VS; PixelShader = PS; } }
technique B { pass P0 { VertexShader = VS; PixelShader = PS; } pass P1 { ZWriteEnable = FALSE; VertexShader = VS; PixelShader = PS; } }
