# Shared helpers for the scripts; sourced, not run.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RELEASE_DIR="${TAVRELA_RELEASE_DIR:-$ROOT/build/release}"
SANITIZE_DIR="${TAVRELA_SANITIZE_DIR:-$ROOT/build/sanitize}"
JOBS="${TAVRELA_JOBS:-$(nproc)}"

log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# Installs every Debian package of scripts/packages.txt that is missing; quick when none is.
install_packages() {
    local wanted missing=() p
    mapfile -t wanted < <(grep -v '^\s*#' "$ROOT/scripts/packages.txt" | grep -v '^\s*$')
    for p in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    log "installing: ${missing[*]}"
    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [cmake args...]
configure_and_build() {
    local dir="$1"; shift
    if [[ ! -f "$dir/build.ninja" ]]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
    else
        cmake "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j "$JOBS"
}
