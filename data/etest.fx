  float4x4 mWorldViewProj;
  float4   ColorDiffuse;

  struct vs_out {
    float4 pos : POSITION;
    float4 col : COLOR0;
  };

  struct ps_out {
    float4 col : COLOR0;
  };

  vs_out basic_vs(float4 pos : POSITION) {
    vs_out ret;

    ret.pos = mul(pos, mWorldViewProj);

    ret.col.rgb = ColorDiffuse;
    ret.col.a   = 1.0f;

    return ret;
  }

  ps_out basic_ps(vs_out input) {
    ps_out ret = (ps_out)0;

    ret.col.rgb = input.col;

    return ret;
  }

technique test_effect
{
  pass P0
  {
    VertexShader = compile vs_2_0 basic_vs();
    PixelShader  = compile ps_2_0 basic_ps();
  }
}
