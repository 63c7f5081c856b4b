# Shared by the project's scripts: install what is missing, build.
# Sourced, not run.

ZC_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages given that are not installed yet.
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
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

ZC_BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libhivex-dev libhivex-bin libwin-hivex-perl)

# Configures and builds a preset of CMakePresets.json.
zc_build() {
  local preset=$1
  (cd "$ZC_ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$(nproc)")
}
