#!/bin/sh
# The demo or the showcase whole, under Wine with the virtual game controller,
# with one of the data files it reads replaced in turn by an empty file, a
# copy cut in half and random bytes of the same size (always the same bytes).
# Each time the program must show the expected boxes (or none), keep running
# and exit with 0 on Escape.
#
#   sh bad_data.sh PROGRAM FILE EXE
#
# PROGRAM: fw (the demo, reading data/) or showcase (reading the build's
# showcase/); FILE: the data file to spoil; EXE: the program in the build.
set -u
fw_program=$1
file=$2
fw_root=$(cd "$(dirname "$0")/../.." && pwd)
fw_build=$(cd "$(dirname "$3")" && pwd)
data="$fw_root/data"
fw_title=fw
loaded='^ps_'
if [ "$fw_program" = showcase ]; then
    data="$fw_build/showcase"
    fw_title="fw showcase"
    loaded='^field:'
fi
. "$fw_root/tools/lib/demo.sh"

work=$(mktemp -d)
# A demo left running would load the machine for the tests after this one.
trap '[ -z "${fw_demo_window:-}" ] || [ -f "$fw_demo_dir/status" ] || fw_demo_quit >/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $file $variant: $*"
    failures=$((failures + 1))
}

# What the program shows or prints about the spoilt file: the demo shows two
# boxes when its effect and shader source will not compile and says nothing
# about meshes and their textures; the showcase prints a line when its image
# or a sound cannot be loaded. A wave cut short still plays what it has.
expected_lines() {
    case "$fw_program $file $variant" in
    "fw etest2.fx "*)
        printf '%s\n' 'message box "Error": Shader::CreateEffectFromFile : D3DXCreateEffectFromFile\n' \
            'message box "Error": Shader::CompileFromFile : D3DXCompileShader VertexShader \n'
        ;;
    "showcase spark.png "*) echo "cannot load spark.png" ;;
    "showcase "*".wav truncated" | "showcase "*".ogg truncated") ;;
    "showcase "*".wav "*) echo "${file%.wav}: cannot open $file" ;;
    "showcase "*".ogg "*) echo "${file%.ogg}: cannot open $file" ;;
    esac
}

# The lines of the run's output that tell of loading: boxes, and the
# showcase's "cannot" lines.
shown_lines() {
    tr -d '\r' <"$fw_demo_dir/boxes.txt" | grep -E '^message box|cannot'
}

# A copy of the data folder with $file spoilt as $variant.
spoil() {
    rm -rf "$work/data"
    mkdir -p "$work/data"
    cp "$data"/*.* "$work/data/"
    size=$(wc -c <"$data/$file")
    case "$variant" in
    empty) : >"$work/data/$file" ;;
    truncated) head -c $((size / 2)) "$data/$file" >"$work/data/$file" ;;
    random) perl -e 'srand(17); print map { chr int rand 256 } 1 .. $ARGV[0]' "$size" >"$work/data/$file" ;;
    esac
}

fw_demo_prepare "$work/program"
for variant in empty truncated random; do
    spoil
    fw_demo_start "$work/data"
    if ! fw_demo_find_window 2>/dev/null; then
        fail "no window; exit code $(cat "$fw_demo_dir/status" 2>/dev/null || echo none)"
        kill "$fw_demo_pid" 2>/dev/null
        continue
    fi
    # The demo prints its shader profiles once loaded, the showcase a line
    # once its field is full: both are in their frame loops then.
    fw_demo_printed "$loaded" || fail "did not reach its frame loop"
    sleep 1
    if [ -f "$fw_demo_dir/status" ]; then
        fail "ended by itself with exit code $(cat "$fw_demo_dir/status")"
        continue
    fi
    status=$(fw_demo_quit) || {
        fail "Escape did not end it"
        continue
    }
    [ "$status" -eq 0 ] || fail "exit code $status"
    shown=$(shown_lines)
    expected=$(expected_lines)
    [ "$shown" = "$expected" ] || fail "shown '$shown', expected '$expected'"
    printf '%s\n' "$fw_program $file $variant: exit code $status, shown: ${shown:-nothing}"
done

[ "$failures" -eq 0 ] && echo PASS
exit "$failures"
