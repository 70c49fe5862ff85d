vs_1_1
dcl_position    v0
dcl_color       v1
m4x4            oPos,   v0,     c0
add             oD0 ,   v1,     c4
