#!/usr/bin/env bash
# The release package: the zip holds exactly the program, the README for
# Windows users and the licence texts; the program is a stripped 32-bit
# Windows program; and the packed remdo.exe starts under Wine: as the silent
# installer (remdinst1.exe, no window) beside a FENRO1.ini naming a data
# folder (one that holds LocNames.db and BookInx.db), it copies itself into that folder as FenroRemdo.exe and ends with
# status 0. The program asks about the database engine before anything else:
# for the run the prefix lists the tests' stand-in library, of a current
# version, as its engine, and the entry is removed again afterwards.
# On a host that cannot execute 32-bit code the packed program cannot start:
# the 64-bit build of the same program, named as the fourth argument, is
# started in its place, and the packed one is checked without being run.
# Usage: package-test.sh <zip> <wine-run> <stand-in IDAPI32.DLL> [<program to start>]
set -uo pipefail
zip="$1"
wine_run="$2"
standin="$3"
started="${4:-}"
scratch="$(mktemp -d)"
engine_key='HKLM\Software\Borland\Database Engine'
cleanup() {
  "$wine_run" reg delete "$engine_key" /v DLLPATH /f /reg:32 >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ -f "$zip" ] || fail "no package $zip"
listing="$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')"
expected="README.txt licences/GCC-runtime.txt licences/MinGW-w64.txt remdo.exe "
[ "$listing" = "$expected" ] || fail "the package holds: $listing"
unzip -q "$zip" -d "$scratch/package" || fail "the package does not unpack"
cd "$scratch/package" || exit 1

grep -q $'\r$' README.txt || fail "README.txt lines do not end in CR LF"
for fact in 'Remdo.log' 'RemdLogs.txt' 'Rejected\<run>\' 'Windows 7' 'Exit codes'; do
  grep -qF -- "$fact" README.txt || fail "README.txt does not tell: $fact"
done
grep -qi 'GCC RUNTIME LIBRARY EXCEPTION' licences/GCC-runtime.txt || fail "the GCC runtime licence lacks its exception"
grep -qi 'MinGW-w64' licences/MinGW-w64.txt || fail "the MinGW-w64 licence text is not it"

# PE32 (0x10B optional header magic, machine 0x14C), not PE32+, and no
# debugging sections left.
pe=$(od -An -tu4 -j60 -N4 remdo.exe | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 remdo.exe | tr -d ' ')
magic=$(od -An -tx2 -j$((pe + 24)) -N2 remdo.exe | tr -d ' ')
[ "$machine" = 014c ] && [ "$magic" = 010b ] || fail "remdo.exe is not a 32-bit program ($machine, $magic)"
! grep -qa '\.debug_info' remdo.exe || fail "remdo.exe is not stripped"

mkdir -p "$scratch/program" "$scratch/data"
: >"$scratch/data/LocNames.db"  # the files that mark a data folder
: >"$scratch/data/BookInx.db"
[ -n "$started" ] || started="$scratch/package/remdo.exe"
[ -f "$started" ] || fail "no program $started"
cp "$started" "$scratch/program/remdinst1.exe"
mkdir -p "$scratch/bde"
cp "$standin" "$scratch/bde/IDAPI32.DLL" || fail "no stand-in engine library $standin"
"$wine_run" reg add "$engine_key" /v DLLPATH /d "Z:$(printf '%s' "$scratch/bde" | tr / '\\')" /f /reg:32 \
  >/dev/null 2>&1 || fail "the engine's DLLPATH could not be set"
printf '[FENRO]\r\nDataDir=Z:%s\\\r\n' "$(printf '%s' "$scratch/data" | tr / '\\')" >"$scratch/program/FENRO1.ini"
(cd "$scratch/program" && timeout 120 "$wine_run" remdinst1.exe) >"$scratch/output.txt" 2>&1
status=$?
[ "$status" -eq 0 ] || fail "the packed program ended with $status: $(cat "$scratch/output.txt")"
cmp -s "$started" "$scratch/data/FenroRemdo.exe" || fail "the packed program did not install itself into the data folder"
echo "PASS"
