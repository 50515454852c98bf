# Configures and builds the build trees. Source it; then st_build TREE... with TREE one of
# native (Release: tools, benchmarks, conformance), asan (native tests under ASan/UBSan),
# fuzz (clang libFuzzer targets), win64 (Windows build the tests run under Wine),
# win32 (shipped i686 binaries, copied into dist/).
ST_ROOT="${ST_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
ST_BUILD="${ST_BUILD:-$ST_ROOT/build}"
ST_JOBS="${ST_JOBS:-$(nproc)}"
# The ITU-T reference vectors and table file that the codec's conformance checks read: by default
# the shared folder beside the repository. Optional: without them those checks are skipped.
ST_SHARED="${ST_SHARED:-$(cd "$ST_ROOT/.." && pwd)/shared}"
export ST_SHARED
# Compiles go through ccache where it is installed, with paths taken relative to the checkout, so
# a second clone on the same machine rebuilds from the cache (ST_CCACHE=0 turns it off).
if [ "${ST_CCACHE:-1}" = 1 ] && command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$ST_ROOT" CCACHE_NOHASHDIR=1
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi

st_configure() {
  local tree=$1 dir=$ST_BUILD/$1
  mkdir -p "$ST_BUILD"
  local args=(-G Ninja -S "$ST_ROOT" -B "$dir" -Wno-dev -DST_SHARED="$ST_SHARED")
  case $tree in
    native) args+=(-DCMAKE_BUILD_TYPE=Release) ;;
    asan)   args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DST_SANITIZE=ON) ;;
    fuzz)   args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DST_FUZZ=ON -DST_TESTS=OFF
                   -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang) ;;
    win64)  args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DST_DIST_DIR="$ST_ROOT/dist/x64"
                   -DCMAKE_TOOLCHAIN_FILE="$ST_ROOT/cmake/toolchain-win64.cmake") ;;
    win32)  args+=(-DCMAKE_BUILD_TYPE=MinSizeRel -DST_DIST_DIR="$ST_ROOT/dist"
                   -DCMAKE_TOOLCHAIN_FILE="$ST_ROOT/cmake/toolchain-win32.cmake") ;;
    *) echo "unknown build tree $tree" >&2; return 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake "${args[@]}" >"$ST_BUILD/configure-$tree.log" 2>&1 || {
      cat "$ST_BUILD/configure-$tree.log" >&2; return 1; }
  fi
}

st_build() {
  mkdir -p "$ST_BUILD"
  local tree
  for tree in "$@"; do
    echo "== build $tree"
    st_configure "$tree" || return 1
    local log="$ST_BUILD/build-$tree.log" rc
    cmake --build "$ST_BUILD/$tree" -j "$ST_JOBS" >"$log" 2>&1
    rc=$?
    grep -vE '^\[[0-9]+/[0-9]+\]' "$log"
    [ $rc = 0 ] || { echo "build $tree failed (exit $rc, log $log)" >&2; return 1; }
  done
}
