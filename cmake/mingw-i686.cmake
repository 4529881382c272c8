# Toolchain for the 32-bit Windows artefacts (wux.dle, wuxhost.dll and the Windows test host),
# cross-compiled with Debian's i686 MinGW-w64 compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(WUX_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Target triple prefix of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${WUX_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${WUX_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${WUX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${WUX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host loads wux.dle on a machine without MinGW's runtime DLLs (and so does Wine here):
# link libgcc, libstdc++ and winpthread into every module.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A DLL without a .def file exports all its symbols; --exclude-libs keeps the runtime's
# (_Unwind_Resume and the like) out of wuxhost.dll, or every module linking it would see
# them twice.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libsupc++.a:libwinpthread.a:libmingwex.a:libmingw32.a")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# SSE arithmetic instead of the x87's 80-bit registers, so that the 32-bit build rounds
# every float and double as the x86-64 build does and both write the same bytes.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
