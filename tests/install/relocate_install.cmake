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

set(doc "${prefix}/share/doc/wux")
foreach(file "${wux}" "${plugin}" "${prefix}/${LIB_DIR}/wux/libwuxhost.so"
        "${prefix}/share/bash-completion/completions/wux" "${prefix}/share/wux/examples/scene.json"
        "${doc}/README.md" "${doc}/docs/wux-tool.md" "${doc}/copyright")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
if(EXISTS "${BUILD_DIR}/wux.1" AND NOT EXISTS "${prefix}/share/man/man1/wux.1")
    message(FATAL_ERROR "the man page was built but not installed")
endif()
# The private host library is no library for other programs: not in lib/ itself.
file(GLOB public_host "${prefix}/${LIB_DIR}/libwuxhost*")
if(public_host)
    message(FATAL_ERROR "in the shared library folder: ${public_host}")
endif()
# Every relative link of the installed docs leads to an installed file.
file(GLOB_RECURSE docs "${doc}/*.md")
foreach(page ${docs})
    file(READ "${page}" text)
    get_filename_component(folder "${page}" DIRECTORY)
    # Brackets would split a CMake list wrongly: the link's start becomes a plain marker.
    string(REPLACE "](" "\n=>" text "${text}")
    string(REGEX MATCHALL "=>[A-Za-z0-9_./-]+" links "${text}")
    foreach(link ${links})
        string(REPLACE "=>" "" target "${link}")
        if(NOT EXISTS "${folder}/${target}")
            message(FATAL_ERROR "${page}: the link ${target} leads nowhere")
        endif()
    endforeach()
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

run(0 "${wux}" export "${prefix}/share/wux/examples/scene.json" scene.wux)
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
