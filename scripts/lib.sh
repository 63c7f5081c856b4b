# shellcheck shell=bash
# Shared by the project's scripts: install what is missing, build.
# Sourced, not run.

ZC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages given that are not installed yet.
#
# `apt-get update` may exit with 100 although the lists it needs arrived: one
# index failing is enough (here the security archive's i386 index has failed
# while the main archive's arrived, on machines that know the i386
# architecture). So its status decides nothing: what counts is that every
# missing package has an installation candidate afterwards.
zc_require_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
      echo "error: these Debian packages are missing and installing them needs root: ${missing[*]}" >&2
      return 1
    fi
    local rc=0
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq || rc=$?
    [ "$rc" -eq 0 ] || echo "  apt-get update exited with $rc; checking that the packages have candidates"
    local unavailable=()
    for pkg in "${missing[@]}"; do
      zc_has_candidate "$pkg" || unavailable+=("$pkg")
    done
    if [ ${#unavailable[@]} -gt 0 ]; then
      echo "error: no installation candidate for: ${unavailable[*]}" >&2
      return 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
      "${missing[@]}"
  fi
}

# Succeeds when apt has a version of the package to install.
zc_has_candidate() {
  local candidate
  candidate=$(apt-cache policy "$1" 2>/dev/null | awk '/^  Candidate:/ { print $2; exit }')
  [ -n "$candidate" ] && [ "$candidate" != "(none)" ]
}

# Used by the scripts that source this file.
# shellcheck disable=SC2034
ZC_BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libhivex-dev libhivex-bin libwin-hivex-perl)

# Reads the Linux program's stderr on stdin and prints what its last line
# starting with TAG says after it ("zentacleanup: log: " names the log,
# "exit status: " the tool's status); nothing when no line says it.
zc_told() {
  local tag=$1 line told=""
  while IFS= read -r line; do
    [[ $line == "$tag"* ]] && told=${line#"$tag"}
  done
  printf '%s' "$told"
}

# Configures and builds a preset of CMakePresets.json.
zc_build() {
  local preset=$1
  (cd "$ZC_ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$(nproc)")
}
