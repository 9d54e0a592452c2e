#!/usr/bin/env bash
# Exits 0 when this machine can execute 32-bit x86 Linux programs (which
# Wine's 32-bit loader is). Some virtual machines refuse them with "Exec
# format error" although the kernel was built with 32-bit support.
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# The smallest static i386 ELF program: exit(0) through int 0x80.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
