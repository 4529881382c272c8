# Runs the Windows test host under Wine and the Linux exporter on the same sample scene,
# then requires the two files to be identical byte for byte.
#
# cmake -DWINE=... -DWINE_PREFIX=... -DTEST_HOST=... -DPLUGIN=... -DNATIVE_EXPORTER=...
#       -DNATIVE_PLUGIN=... -DWORK_DIR=... -P compare_exports.cmake

foreach(var WINE WINE_PREFIX TEST_HOST PLUGIN NATIVE_EXPORTER NATIVE_PLUGIN WORK_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "compare_exports.cmake needs -D${var}=...")
    endif()
endforeach()
foreach(file TEST_HOST PLUGIN NATIVE_EXPORTER NATIVE_PLUGIN)
    if(NOT EXISTS "${${file}}")
        message(FATAL_ERROR "missing ${file}: ${${file}}")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(linux_file "${WORK_DIR}/linux.wux")
set(windows_file "${WORK_DIR}/windows.wux")

execute_process(COMMAND "${NATIVE_EXPORTER}" "${NATIVE_PLUGIN}" "${linux_file}"
    RESULT_VARIABLE native_result)
if(NOT native_result EQUAL 0 OR NOT EXISTS "${linux_file}")
    message(FATAL_ERROR "the Linux exporter failed (${native_result})")
endif()

# Wine needs no display for this program; keep it from looking for one, from installing
# Mono or Gecko into a new prefix, and from printing its debug channels.
unset(ENV{DISPLAY})
unset(ENV{WAYLAND_DISPLAY})
set(ENV{WINEPREFIX} "${WINE_PREFIX}")
set(ENV{WINEDEBUG} "-all")
set(ENV{WINEDLLOVERRIDES} "mscoree=;mshtml=")

# Wine takes Unix paths of existing folders as Z: drive paths.
execute_process(COMMAND "${WINE}" "${TEST_HOST}" "${PLUGIN}" "${windows_file}"
    RESULT_VARIABLE wine_result
    TIMEOUT 800)
if(NOT wine_result EQUAL 0)
    message(FATAL_ERROR "the Windows test host failed under Wine (${wine_result})")
endif()
if(NOT EXISTS "${windows_file}")
    message(FATAL_ERROR "the Windows test host wrote no file")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${linux_file}" "${windows_file}"
    RESULT_VARIABLE compare_result)
if(NOT compare_result EQUAL 0)
    message(FATAL_ERROR "the Windows and Linux exports differ: ${windows_file} ${linux_file}")
endif()
file(SIZE "${linux_file}" size)
message(STATUS "identical exports of ${size} bytes")
