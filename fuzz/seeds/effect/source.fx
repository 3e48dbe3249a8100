#include "common.fxh"
float4 Tint : DIFFUSE = {1, 1, 1, 1};
vertexshader QuadVS {
    in vec4 POSITION0;
    void main() { gl_Position = vec4(POSITION0.xyz, 1.0); }
}
pixelshader TimePS {
    out vec4 COLOR0;
    void main() { COLOR0 = vec4(fract(Time), Tint.g, 0.0, 1.0); }
}
technique Timed {
    pass P0 {
        ZEnable = FALSE; CullMode = NONE;
        VertexShader = QuadVS; PixelShader = TimePS;
    }
}
