# Cross-builds the 32-bit Windows artefacts from this same source tree and tests them under Wine.
#
# Included by the top-level CMakeLists.txt in a native (non-Windows) build when WUX_BUILD_WINDOWS is ON.
# An external project configures the tree again with the MinGW-w64 toolchain into
# <build>/windows and builds wuxhost.dll, wux.dle and wux_windows_test_host.exe into
# <build>/windows/bin. When the native tests are built too, CTest runs the Windows test host
# under Wine and compares the file it writes with the file the Linux plug-in writes for the
# same scene.
#
# Without the MinGW-w64 compiler or Wine this file only says so and builds nothing.

find_program(WUX_MINGW_CXX i686-w64-mingw32-g++)
find_program(WUX_WINE wine)
if(NOT WUX_MINGW_CXX OR NOT WUX_WINE)
    message(STATUS "Windows artefacts skipped: i686-w64-mingw32-g++ or wine not found "
                   "(install g++-mingw-w64-i686 and wine32, or set WUX_BUILD_WINDOWS=OFF)")
    return()
endif()

include(ExternalProject)

set(WUX_WINDOWS_BINARY_DIR ${CMAKE_BINARY_DIR}/windows)
set(WUX_WINDOWS_OUTPUT_DIR ${WUX_WINDOWS_BINARY_DIR}/bin)
set(WUX_WINDOWS_DLE ${WUX_WINDOWS_OUTPUT_DIR}/wux.dle)
set(WUX_WINDOWS_HOST_DLL ${WUX_WINDOWS_OUTPUT_DIR}/wuxhost.dll)
set(WUX_WINDOWS_TEST_HOST ${WUX_WINDOWS_OUTPUT_DIR}/wux_windows_test_host.exe)

set(wux_windows_build_type ${CMAKE_BUILD_TYPE})
if(NOT wux_windows_build_type)
    set(wux_windows_build_type RelWithDebInfo)
endif()

ExternalProject_Add(wux_windows
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${WUX_WINDOWS_BINARY_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
        -DCMAKE_BUILD_TYPE=${wux_windows_build_type}
        -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${WUX_WINDOWS_OUTPUT_DIR}
        -DCMAKE_LIBRARY_OUTPUT_DIRECTORY=${WUX_WINDOWS_OUTPUT_DIR}
        -DWUX_BUILD_TESTS=OFF
        -DWUX_BUILD_TOOLS=OFF
        -DWUX_BUILD_BENCH=OFF
        -DWUX_BUILD_WINDOWS=OFF
        -DWUX_SANITIZE=OFF
    # The sources are this tree: let the inner build decide what is out of date every time.
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${WUX_WINDOWS_DLE} ${WUX_WINDOWS_HOST_DLL} ${WUX_WINDOWS_TEST_HOST}
    USES_TERMINAL_BUILD OFF
)

message(STATUS "Windows artefacts: ${WUX_WINDOWS_OUTPUT_DIR} (wux.dle, wuxhost.dll, wux_windows_test_host.exe)")

if(WUX_BUILD_TESTS AND TARGET wux_export_sample)
    # The prefix lives in the build tree; its first use creates it, which takes a while.
    add_test(NAME windows_export_matches_linux
        COMMAND ${CMAKE_COMMAND}
            -DWINE=${WUX_WINE}
            -DWINE_PREFIX=${CMAKE_BINARY_DIR}/wine-prefix
            -DTEST_HOST=${WUX_WINDOWS_TEST_HOST}
            -DPLUGIN=${WUX_WINDOWS_DLE}
            -DNATIVE_EXPORTER=$<TARGET_FILE:wux_export_sample>
            -DNATIVE_PLUGIN=$<TARGET_FILE:wux_plugin>
            -DWORK_DIR=${CMAKE_BINARY_DIR}/windows-test
            -P ${PROJECT_SOURCE_DIR}/tests/windows/compare_exports.cmake)
    set_tests_properties(windows_export_matches_linux PROPERTIES TIMEOUT 900)
endif()
