# Installs the build to a prefix, moves the prefix, then runs the moved wux from another
# folder: export and check must work, and nothing may point back into the build tree.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/elsewhere" "${WORK_DIR}/cwd")

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/first"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
file(RENAME "${WORK_DIR}/first" "${WORK_DIR}/elsewhere/moved")
set(prefix "${WORK_DIR}/elsewhere/moved")
set(wux "${prefix}/${BIN_DIR}/wux")
set(plugin "${prefix}/${LIB_DIR}/wux/wux_plugin.so")

foreach(file "${wux}" "${plugin}" "${prefix}/${LIB_DIR}/libwuxhost.so")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
foreach(file "${wux}" "${plugin}")
    file(READ_ELF "${file}" RUNPATH runpath RPATH rpath)
    if(NOT runpath MATCHES "^\\$ORIGIN" OR runpath MATCHES "${BUILD_DIR}" OR rpath)
        message(FATAL_ERROR "${file}: RUNPATH '${runpath}' RPATH '${rpath}' is not relative to \$ORIGIN")
    endif()
endforeach()

unset(ENV{WUX_PLUGIN})
unset(ENV{LD_LIBRARY_PATH})
function(run expected_rc)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK_DIR}/cwd"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL expected_rc)
        message(FATAL_ERROR "${ARGN}: exit ${rc}, expected ${expected_rc}\n${out}\n${err}")
    endif()
    set(run_out "${out}${err}" PARENT_SCOPE)
endfunction()

run(0 "${wux}" export "${SOURCE_DIR}/examples/scene.json" scene.wux)
run(0 "${wux}" check scene.wux)
if(NOT run_out MATCHES "scene.wux: valid")
    message(FATAL_ERROR "check did not call the file valid: ${run_out}")
endif()

# Without its installed plug-in the moved tool must fail, not fall back to the build tree's.
file(RENAME "${plugin}" "${plugin}.away")
run(4 "${wux}" export "${SOURCE_DIR}/examples/scene.json" again.wux)
if(NOT run_out MATCHES "cannot find the plug-in library")
    message(FATAL_ERROR "unexpected failure: ${run_out}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
