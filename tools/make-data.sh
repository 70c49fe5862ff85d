#!/bin/sh
# Makes the demo's meshes and their textures in data/ (the committed files
# came from this script; run it again after changing it):
#   hata.x    the flag: a plane 4 wide and 2.5 high, 24 x 12 quads, drawn from
#             both sides (one face per side, back faces wound the other way);
#             vertex alpha is how far the vertex flutters, 0 at the pole on
#             the left to 1 at the free end; texture hata.bmp
#   hako.x    the box: a cube of edge 1.2 with a flat normal per face,
#             vertex alpha 0 (it does not flutter); texture hako.bmp
#   hata.bmp  128 x 64: a navy band at the pole, a white field, a red disc
#   hako.bmp  64 x 64: white with a grey frame, so the box's edges show
# Textures avoid pure black: the mesh loader keys it out as transparent.
# Needs awk and ImageMagick (tools/deps.sh installs it).
set -eu
if [ $# -gt 0 ]; then
    echo "usage: sh tools/make-data.sh" >&2
    exit 2
fi
data="$(cd "$(dirname "$0")/.." && pwd)/data"

convert -size 128x64 xc:'#FFFFFF' \
    -fill '#1C2E6E' -draw 'rectangle 0,0 27,63' \
    -fill '#D42A2A' -draw 'circle 80,32 80,13' \
    -type TrueColor "BMP3:$data/hata.bmp"
convert -size 64x64 xc:'#B4B4B4' \
    -fill '#FFFFFF' -draw 'rectangle 6,6 57,57' \
    -type TrueColor "BMP3:$data/hako.bmp"

awk -v NX=24 -v NY=12 -v W=4 -v H=2.5 -v BOTTOM=-1 'BEGIN {
    x0 = -W / 2
    n = (NX + 1) * (NY + 1)
    print "xof 0303txt 0032"
    print "// The demo flag: two-sided, with a flutter weight in vertex alpha."
    print "Mesh flag {"
    print 2 * n ";"
    for (side = 0; side < 2; side++)
        for (j = 0; j <= NY; j++)
            for (i = 0; i <= NX; i++)
                printf "%.4f;%.4f;0.0;%s%s", x0 + W * i / NX, BOTTOM + H * j / NY, \
                    (side == 1 && j == NY && i == NX) ? ";" : ",", (i == NX) ? "\n" : " "
    quads = NX * NY
    print 4 * quads ";"
    count = 0
    for (side = 0; side < 2; side++)
        for (j = 0; j < NY; j++)
            for (i = 0; i < NX; i++) {
                b = side * n + j * (NX + 1) + i  # bottom left
                t = b + NX + 1                   # top left
                count += 2
                end = (count == 4 * quads) ? ";" : ","
                # Clockwise as seen from the side the face belongs to.
                if (side == 0)
                    printf "3;%d,%d,%d;, 3;%d,%d,%d;%s", b, t, t + 1, b, t + 1, b + 1, end
                else
                    printf "3;%d,%d,%d;, 3;%d,%d,%d;%s", b, b + 1, t + 1, b, t + 1, t, end
                printf (i == NX - 1) ? "\n" : " "
            }
    print "MeshMaterialList {"
    print "1;"
    print 4 * quads ";"
    for (f = 0; f < 4 * quads; f++)
        printf "0%s", (f == 4 * quads - 1) ? ";\n" : (f % 48 == 47) ? ",\n" : ","
    print "Material {"
    print "1.000000;1.000000;1.000000;1.000000;;"
    print "0.000000;"
    print "0.000000;0.000000;0.000000;;"
    print "0.000000;0.000000;0.000000;;"
    print "TextureFilename { \"hata.bmp\"; }"
    print "}"
    print "}"
    print "MeshNormals {"
    print "2;"
    print "0.0000;0.0000;-1.0000;,"
    print "0.0000;0.0000;1.0000;;"
    print 4 * quads ";"
    count = 0
    for (side = 0; side < 2; side++)
        for (f = 0; f < 2 * quads; f++) {
            count++
            printf "3;%d,%d,%d;%s", side, side, side, (count == 4 * quads) ? ";\n" : (count % 16 == 0) ? ",\n" : ", "
        }
    print "}"
    print "MeshTextureCoords {"
    print 2 * n ";"
    for (side = 0; side < 2; side++)
        for (j = 0; j <= NY; j++)
            for (i = 0; i <= NX; i++)
                printf "%.4f;%.4f;%s%s", i / NX, 1 - j / NY, \
                    (side == 1 && j == NY && i == NX) ? ";" : ",", (i == NX) ? "\n" : " "
    print "}"
    print "MeshVertexColors {"
    print 2 * n ";"
    for (v = 0; v < 2 * n; v++) {
        i = v % (NX + 1)
        printf "%d;1.0;1.0;1.0;%.4f;;%s%s", v, i / NX, (v == 2 * n - 1) ? ";" : ",", (i == NX) ? "\n" : " "
    }
    print "}"
    print "}"
}' >"$data/hata.x"

awk -v S=0.6 'BEGIN {
    # Per face: normal, then the four corners clockwise as seen from outside,
    # starting bottom left in that view.
    face[0] = "0 0 -1  -1 -1 -1  -1 1 -1  1 1 -1  1 -1 -1"
    face[1] = "0 0 1  1 -1 1  1 1 1  -1 1 1  -1 -1 1"
    face[2] = "-1 0 0  -1 -1 1  -1 1 1  -1 1 -1  -1 -1 -1"
    face[3] = "1 0 0  1 -1 -1  1 1 -1  1 1 1  1 -1 1"
    face[4] = "0 1 0  -1 1 -1  -1 1 1  1 1 1  1 1 -1"
    face[5] = "0 -1 0  -1 -1 1  -1 -1 -1  1 -1 -1  1 -1 1"
    u[0] = 0; v[0] = 1; u[1] = 0; v[1] = 0; u[2] = 1; v[2] = 0; u[3] = 1; v[3] = 1
    print "xof 0303txt 0032"
    print "// The demo box: flat faces, no flutter (vertex alpha 0)."
    print "Mesh box {"
    print "24;"
    for (f = 0; f < 6; f++) {
        split(face[f], c, " ")
        for (k = 0; k < 4; k++)
            printf "%.4f;%.4f;%.4f;%s\n", S * c[4 + 3 * k], S * c[5 + 3 * k], S * c[6 + 3 * k], \
                (f == 5 && k == 3) ? ";" : ","
    }
    print "12;"
    for (f = 0; f < 6; f++)
        printf "3;%d,%d,%d;,\n3;%d,%d,%d;%s\n", 4 * f, 4 * f + 1, 4 * f + 2, 4 * f, 4 * f + 2, \
            4 * f + 3, (f == 5) ? ";" : ","
    print "MeshMaterialList {"
    print "1;"
    print "12;"
    for (f = 0; f < 12; f++)
        printf "0%s\n", (f == 11) ? ";" : ","
    print "Material {"
    print "1.000000;1.000000;1.000000;1.000000;;"
    print "0.000000;"
    print "0.000000;0.000000;0.000000;;"
    print "0.000000;0.000000;0.000000;;"
    print "TextureFilename { \"hako.bmp\"; }"
    print "}"
    print "}"
    print "MeshNormals {"
    print "6;"
    for (f = 0; f < 6; f++) {
        split(face[f], c, " ")
        printf "%.4f;%.4f;%.4f;%s\n", c[1], c[2], c[3], (f == 5) ? ";" : ","
    }
    print "12;"
    for (f = 0; f < 12; f++)
        printf "3;%d,%d,%d;%s\n", int(f / 2), int(f / 2), int(f / 2), (f == 11) ? ";" : ","
    print "}"
    print "MeshTextureCoords {"
    print "24;"
    for (f = 0; f < 6; f++)
        for (k = 0; k < 4; k++)
            printf "%.4f;%.4f;%s\n", u[k], v[k], (f == 5 && k == 3) ? ";" : ","
    print "}"
    print "MeshVertexColors {"
    print "24;"
    for (k = 0; k < 24; k++)
        printf "%d;1.0000;1.0000;1.0000;0.0000;;%s\n", k, (k == 23) ? ";" : ","
    print "}"
    print "}"
}' >"$data/hako.x"
