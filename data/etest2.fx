// The demo's shading, as an effect (technique "test_effect") and as plain
// shader source (entry points basic_vs_flag and basic_ps). The register
// bindings are the ones the demo writes to when it drives the shaders
// without the effect; the effect sets the same values by name.
//
// The flag flutters: each vertex moves along z by a wave that travels from
// the pole to the free end, scaled by the vertex's alpha (0 at the pole, 1 at
// the free end; the boxes have 0 everywhere and stay rigid). The surface is
// lit by one directional light: a face turned fully to the light gets the
// full diffuse colour (the light colour is read as a modulate-2x factor, so
// grey 0.5 means white light); faces turned away get only the ambient colour.

float4 ColorDiffuse : register(c0);
float4 ColorAmbient : register(c1);
float4 LightDir : register(c2);
float4 LightColor : register(c3);
float4x4 mWorldViewProj : register(c16);
float4x4 mWorld : register(c20);
float4 time : register(c32);

// The mesh's own texture, bound to stage 0 for each subset.
sampler2D MeshTexture : register(s0);

struct VertexIn {
    float4 position : POSITION;
    float3 normal : NORMAL;
    float4 color : COLOR0;
    float2 uv : TEXCOORD0;
};

struct VertexOut {
    float4 position : POSITION;
    float4 diffuse : COLOR0;
    float2 uv : TEXCOORD0;
};

VertexOut basic_vs_flag(VertexIn v)
{
    VertexOut o;
    // Wave: 0.35 high at the free end, 2.5 radians per unit of length,
    // travelling at 2 radians per unit of time.
    float phase = v.position.x * 2.5 - time.x * 2.0;
    float lift = v.color.a * 0.35;
    float4 position = v.position;
    position.z += lift * sin(phase);
    // The slope of the wave tilts the normal about the vertical axis; the
    // sign of the normal's z says which side of the flag it belongs to.
    float slope = lift * 2.5 * cos(phase);
    float3 normal = normalize(v.normal + float3(-slope * v.normal.z, 0.0, 0.0));
    float3 worldNormal = normalize(mul(normal, (float3x3)mWorld));
    float light = max(dot(worldNormal, -normalize(LightDir.xyz)), 0.0);

    o.position = mul(position, mWorldViewProj);
    o.diffuse = ColorDiffuse * LightColor * (2.0 * light);
    o.diffuse.a = ColorDiffuse.a;
    o.uv = v.uv;
    return o;
}

float4 basic_ps(float4 diffuse : COLOR0, float2 uv : TEXCOORD0) : COLOR0
{
    float4 color = tex2D(MeshTexture, uv) * diffuse + ColorAmbient;
    color.a = diffuse.a;
    return color;
}

technique test_effect
{
    pass P0
    {
        VertexShader = compile vs_2_0 basic_vs_flag();
        PixelShader = compile ps_2_0 basic_ps();
    }
}
