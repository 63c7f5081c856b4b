#!/usr/bin/env bash
# Sets up the 32-bit side of Wine under the build tree, so that the i686
# program (the release artefact) runs under a 64-bit (WoW64) prefix whose
# 32-bit processes are emulated by qemu user mode:
#
#   1. the Debian packages it needs (qemu-user-static, wine64, libz-mingw-w64);
#   2. binfmt_misc mounted and an entry qemu-i386 for i386 ELF programs, with
#      the F flag (the interpreter is opened once, at registration), when the
#      kernel has none;
#   3. Wine's i386 packages (tests/wine/i386-packages.txt) downloaded with
#      apt and unpacked with dpkg -x into build/wine32/i386root, never
#      installed. apt works on a private state folder that knows the i386
#      architecture, so neither dpkg's list of architectures nor the system's
#      package lists change;
#   4. a private loader folder (build/wine32/layer): Wine 8 finds the loader of
#      the other bitness only beside its own executable, so both loaders are
#      copied there, with the native wineserver, and zlib1.dll, which libwine's
#      maintainer script would have written;
#   5. build/wine32/env: the variables that make `$WINELOADER` run a WoW64
#      prefix with this 32-bit side (KEY=VALUE, one a line).
#
# Everything but steps 1 and 2 stays under build/wine32 and is kept between
# runs: a second run checks the stamp and the binfmt entry and is done in a
# second. Plain `wine` and `wine64` behave as before.
#
# Usage: scripts/wine32-setup.sh   (as root; ZC_WINE32_DIR moves the folder)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

DIR=${ZC_WINE32_DIR:-$ZC_ROOT/build/wine32}
LIST="$ZC_ROOT/tests/wine/i386-packages.txt"
ROOT="$DIR/i386root"
LAYER="$DIR/layer"
STAMP="$DIR/.done"
# Bump when the layout below changes, so that an old cache is made again.
LAYOUT_VERSION=1

die() {
  echo "wine32-setup: $*" >&2
  exit 1
}
start_ms=$(date +%s%3N)
elapsed() { local ms=$(($(date +%s%3N) - start_ms)); printf '%d.%d' $((ms / 1000)) $((ms % 1000 / 100)); }

zc_require_packages wine wine64 libwine qemu-user-static libz-mingw-w64

# ---------------------------------------------------------------- binfmt
# The i386 ELF header, and the mask that lets any OS/ABI byte and both
# executable kinds (EXEC, DYN) match.
BINFMT_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
BINFMT_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
binfmt=/proc/sys/fs/binfmt_misc
if [[ ! -e $binfmt/register ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" || die "binfmt_misc is not mounted and cannot be mounted here"
fi
# An entry of any name whose magic is i386 ELF serves as well as ours.
has_i386_entry() {
  local entry
  for entry in "$binfmt"/*; do
    [[ $entry == */register || $entry == */status ]] && continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -q '^magic 7f454c46010101000000000000000000020003' "$entry" 2>/dev/null && return 0
  done
  return 1
}
if ! has_i386_entry; then
  qemu=$(command -v qemu-i386-static) || die "qemu-i386-static is missing"
  echo "== registering $qemu for i386 ELF programs (binfmt_misc, flag F)"
  printf ':qemu-i386:M::%s:%s:%s:F\n' "$BINFMT_MAGIC" "$BINFMT_MASK" "$qemu" >"$binfmt/register" ||
    die "the binfmt_misc entry for i386 could not be registered"
  has_i386_entry || die "the binfmt_misc entry for i386 is not enabled after registration"
fi

# ---------------------------------------------------------------- the cache
stamp_text() {
  printf 'layout %s\n' "$LAYOUT_VERSION"
  dpkg-query -W -f='wine64 ${Version}\n' wine64
  sha256sum <"$LIST" | cut -d' ' -f1
}
if [[ -f $STAMP && $(cat "$STAMP") == "$(stamp_text)" && -x $LAYER/lib/wine/wine ]]; then
  echo "== the 32-bit side of Wine is ready in $DIR ($(elapsed) s)"
  exit 0
fi

echo "== setting up the 32-bit side of Wine in $DIR"
rm -rf -- "$ROOT" "$LAYER" "$DIR/debs" "$STAMP"
mkdir -p "$DIR/apt/lists/partial" "$DIR/apt/cache/archives/partial" "$DIR/debs" "$ROOT"

# apt on a private state: its own lists (amd64 and i386) and cache. The
# system's sources and trust are used as they are.
APT_OPTS=(-o APT::Architectures::=amd64 -o APT::Architectures::=i386
  -o Dir::State::Lists="$DIR/apt/lists" -o Dir::Cache="$DIR/apt/cache"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
mapfile -t packages < <(grep -Ev '^[[:space:]]*(#|$)' "$LIST")
((${#packages[@]})) || die "$LIST names no package"

# One index may fail to arrive (the security archive's i386 index has, here,
# while the main archive's arrived); apt-get then exits with 100. What counts
# is that every package has a candidate, which is checked next.
rc=0
apt-get -q "${APT_OPTS[@]}" update >"$DIR/apt/update.log" 2>&1 || rc=$?
if ((rc)); then
  echo "  apt-get update exited with $rc (kept in $DIR/apt/update.log); checking the candidates instead"
  grep -E '^(E|Err):' "$DIR/apt/update.log" | sed 's/^/    /' || true
fi
missing=()
while read -r name candidate; do
  [[ $candidate == "(none)" || -z $candidate ]] && missing+=("$name")
done < <(apt-cache "${APT_OPTS[@]}" policy "${packages[@]}" 2>/dev/null |
  awk '/^[^ ]/ { sub(/:$/, "", $1); name = $1 } /^  Candidate:/ { print name, $2 }')
# apt-cache prints nothing for a name it does not know at all.
known=$(apt-cache "${APT_OPTS[@]}" policy "${packages[@]}" 2>/dev/null | grep -c '^[^ ]' || true)
((known == ${#packages[@]})) || die "apt knows $known of the ${#packages[@]} i386 packages (see $DIR/apt/update.log)"
((${#missing[@]} == 0)) || die "no candidate for: ${missing[*]}"

(cd "$DIR/debs" && apt-get -q "${APT_OPTS[@]}" download "${packages[@]}") >"$DIR/apt/download.log" 2>&1 ||
  die "apt-get download failed (see $DIR/apt/download.log)"
for deb in "$DIR"/debs/*.deb; do dpkg -x "$deb" "$ROOT"; done
# One library folder, as on the host (/lib is usr/lib): the i386 dynamic
# loader under qemu otherwise gives up on /lib/i386-linux-gnu after its first
# miss there, and the libraries packaged there (zlib among them, which
# FreeType needs) are then never found.
cp -a "$ROOT/lib/." "$ROOT/usr/lib/"
rm -rf -- "${ROOT:?}/lib"
ln -s usr/lib "$ROOT/lib"
[[ -x $ROOT/usr/lib/wine/wine ]] || die "no i386 Wine loader in $ROOT after unpacking"
# The libwine versions of both sides must agree, or the loaders refuse each other.
i386_version=$(dpkg-deb -f "$DIR"/debs/libwine_*_i386.deb Version)
amd64_version=$(dpkg-query -W -f='${Version}' libwine)
[[ $i386_version == "$amd64_version" ]] || die "libwine:i386 $i386_version differs from libwine $amd64_version"
rm -rf -- "$DIR/debs"

# ---------------------------------------------------------------- the layer
mkdir -p "$LAYER/lib/wine" "$LAYER/lib/x86_64-linux-gnu" "$LAYER/lib/i386-linux-gnu" "$LAYER/share" \
  "$LAYER/dlls/i386-windows"
cp /usr/lib/wine/wine64 "$LAYER/lib/wine/wine64"
cp "$ROOT/usr/lib/wine/wine" "$LAYER/lib/wine/wine"
# One native wineserver serves both halves.
ln -sfn /usr/lib/wine/wineserver64 "$LAYER/lib/wine/wineserver"
ln -sfn /usr/lib/x86_64-linux-gnu/wine "$LAYER/lib/x86_64-linux-gnu/wine"
ln -sfn "$ROOT/usr/lib/i386-linux-gnu/wine" "$LAYER/lib/i386-linux-gnu/wine"
ln -sfn /usr/share/wine "$LAYER/share/wine"
# zlib1.dll as libwine's maintainer script makes it: MinGW's DLL marked as a
# Wine builtin (user32, cabinet and others import it; without it no 32-bit
# process starts).
zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
[[ -f $zlib ]] || die "$zlib is missing (package libz-mingw-w64)"
{
  head -c 64 "$zlib"
  printf 'Wine builtin DLL'
  head -c 16 /dev/zero
  tail -c +97 "$zlib"
} >"$LAYER/dlls/i386-windows/zlib1.dll"

# ---------------------------------------------------------------- env
# QEMU_RESERVED_VA: qemu 7.2 gives a 32-bit guest 0..0xf7000000, and Wine's
# start-up reservation of everything above 0x7ffe0000 then costs ~50 s per
# 32-bit process in failing mmaps; a guest space just above 2 GiB makes it
# ~1 s (0x80100000 is too small to map the shared user data).
cat >"$DIR/env" <<ENV
WINELOADER=$LAYER/lib/wine/wine64
WINESERVER=$LAYER/lib/wine/wineserver
WINEDLLPATH=$LAYER/dlls:$ROOT/usr/lib/i386-linux-gnu/wine
QEMU_LD_PREFIX=$ROOT
QEMU_RESERVED_VA=0x81000000
ENV

# The i386 loader must start (through binfmt and qemu) and name its version.
version=$(QEMU_LD_PREFIX=$ROOT QEMU_RESERVED_VA=0x81000000 "$LAYER/lib/wine/wine" --version 2>&1) ||
  die "the i386 Wine loader does not start: $version"
echo "  i386 loader: $version"
stamp_text >"$STAMP"
echo "== the 32-bit side of Wine is ready in $DIR ($(elapsed) s)"
