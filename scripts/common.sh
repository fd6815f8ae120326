# Shared by the scripts: install what is missing, configure and build into $BUILD_DIR.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
JOBS="${JOBS:-$(nproc)}"
# Rebuilds in several checkouts reuse each other's objects when ccache is there.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$ROOT")}"
fi

configure_and_build() { # [extra cmake args...]
    bash "$ROOT/scripts/deps"
    cmake -S "$ROOT" -B "$BUILD_DIR" "$@" >/dev/null
    cmake --build "$BUILD_DIR" -j "$JOBS"
}
