# Sourced by tools/deps.sh and tools/dxvk.sh.
# fw_runs_i386: whether this machine runs i386 programs at all. Some kernels
# refuse them (no 32-bit emulation); there an installed wine32 even breaks
# the 64-bit wine, whose /usr/bin/wine then starts the 32-bit loader first.
# The probe is the smallest i386 program: exit(0) through int 0x80.
# FW_RUNS_I386=1 or 0 answers without the probe (for the scripts' own tests).
fw_runs_i386() {
    case "${FW_RUNS_I386:-}" in
    1) return 0 ;;
    0) return 1 ;;
    esac
    fw_probe=$(mktemp)
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$fw_probe"
    chmod +x "$fw_probe"
    fw_probe_status=0
    "$fw_probe" 2>/dev/null || fw_probe_status=$?
    rm -f "$fw_probe"
    # 126: the kernel cannot execute it.
    [ "$fw_probe_status" -ne 126 ]
}
