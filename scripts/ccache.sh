# Sourced by the build scripts: compile through ccache when it is installed,
# with paths taken relative to the checkout, so that another clone of the
# repository (CI's) finds this machine's cached objects.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR-$root}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR-1}"
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE-20G}"
fi
