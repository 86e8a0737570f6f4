# Cross build for 64-bit Windows with Debian's mingw-w64, GCC's posix thread
# model (std::thread and std::mutex over winpthreads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(T7_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${T7_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${T7_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${T7_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${T7_MINGW_TRIPLET}-ar)
set(CMAKE_RANLIB ${T7_MINGW_TRIPLET}-ranlib)
set(CMAKE_OBJDUMP ${T7_MINGW_TRIPLET}-objdump)

# Libraries and headers come from the mingw sysroot and from the folder the
# build script installs the cross-built dependencies into; programs (ninja,
# the resource generator) from the build machine.
# T7_MINGW_DEPS (a cache variable or the environment) names that folder.
if(NOT T7_MINGW_DEPS AND DEFINED ENV{T7_MINGW_DEPS})
  set(T7_MINGW_DEPS $ENV{T7_MINGW_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES T7_MINGW_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/${T7_MINGW_TRIPLET} ${T7_MINGW_DEPS})
if(T7_MINGW_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${T7_MINGW_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One file that runs on a clean Windows: the compiler's runtime libraries
# (libstdc++, libgcc, winpthread) are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The programs built here run under Wine: the test programs and the build's
# own generator. They share one throw-away prefix in the build folder.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(T7_WINE NAMES wine wine64)
  if(T7_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all ${T7_WINE})
  endif()
endif()
