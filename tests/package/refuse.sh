#!/bin/sh
# tools/run.sh with a bad argument: it must refuse before building anything,
# with exactly the line EXPECTED on its error output and a non-zero exit code.
#   sh refuse.sh SOURCE_DIR EXPECTED ARGUMENT...
set -u
run=$1/tools/run.sh
expected=$2
shift 2
said=$(sh "$run" "$@" 2>&1 >/dev/null)
status=$?
printf 'exit code %s, said: %s\n' "$status" "$said"
if [ "$status" -eq 0 ] || [ "$said" != "$expected" ]; then
    echo "FAIL: expected a non-zero exit code and: $expected"
    exit 1
fi
echo PASS
