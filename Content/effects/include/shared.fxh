// Shared parameters: one value for every effect of the pool.
shared float4x4 View : VIEW;
shared float4x4 ViewProj : VIEWPROJ;
shared float4x4 OldViewProj : OLDVIEWPROJ;
shared float Time : TIME;
shared float3 EyePos : EYEPOS;
shared float2 FocusMaxZ : FOCUS_MAXZ;
shared texture3D NoiseTex : NOISETEX;
shared texture NoiseVecTex : NOISEVECTEX;
