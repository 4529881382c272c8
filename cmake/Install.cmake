# cmake --install: the tool in bin/, the plug-in and the private host library in lib/wux/ (no
# other program links them), the man page, bash completion, the example scene and the docs.
# Every path between them is relative ($ORIGIN), so the installed tree works wherever it is
# moved; cpack makes the same tree into an archive or a .deb.
include(GNUInstallDirs)

set(WUX_PLUGIN_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/wux")

# The private library folder as seen from a folder of the installed tree, for RUNPATHs.
function(wux_relative_origin out from_dir)
    file(RELATIVE_PATH rel "/${from_dir}" "/${WUX_PLUGIN_INSTALL_DIR}")
    if(rel STREQUAL "")
        set(${out} "$ORIGIN" PARENT_SCOPE)
    else()
        set(${out} "$ORIGIN/${rel}" PARENT_SCOPE)
    endif()
endfunction()

wux_relative_origin(wux_bin_runpath "${CMAKE_INSTALL_BINDIR}")
wux_relative_origin(wux_plugin_runpath "${WUX_PLUGIN_INSTALL_DIR}")
set_target_properties(wux PROPERTIES INSTALL_RPATH "${wux_bin_runpath}")
set_target_properties(wux_plugin PROPERTIES INSTALL_RPATH "${wux_plugin_runpath}")

# Where the tool looks for its plug-in: relative to its own folder, as installed.
file(RELATIVE_PATH wux_plugin_from_bin "/${CMAKE_INSTALL_BINDIR}" "/${WUX_PLUGIN_INSTALL_DIR}/wux_plugin.so")
target_compile_definitions(wux_plugin_loader PRIVATE
    WUX_PLUGIN_RELATIVE_PATH="${wux_plugin_from_bin}" WUX_BUILD_TOOL_DIR="$<TARGET_FILE_DIR:wux>")

install(TARGETS wux RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(TARGETS wux_host wux_plugin LIBRARY DESTINATION "${WUX_PLUGIN_INSTALL_DIR}" NAMELINK_SKIP)

# The man page, made from `wux --help` and each command's help when the tool is built.
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(wux_man "${PROJECT_BINARY_DIR}/wux.1")
    add_custom_command(OUTPUT "${wux_man}"
        COMMAND "${CMAKE_COMMAND}" -DWUX=$<TARGET_FILE:wux> -DHELP2MAN=${HELP2MAN} -DOUT=${wux_man}
                -P "${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake"
        DEPENDS wux "${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake"
        COMMENT "Writing the man page wux.1")
    add_custom_target(wux_man ALL DEPENDS "${wux_man}")
    install(FILES "${wux_man}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
else()
    message(WARNING "help2man not found (scripts/install-deps.sh installs it): no man page is built")
endif()
install(FILES cli/wux-completion.bash DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME wux)
install(DIRECTORY examples/ DESTINATION "${CMAKE_INSTALL_DATADIR}/wux/examples")
# README.md beside docs/, as in the source tree, so that every link between them works.
install(FILES README.md cmake/copyright DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(DIRECTORY docs/ DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs")

set(WUX_PACKAGE_MAINTAINER "WUX maintainers <wux-maintainers@example.org>" CACHE STRING
    "The .deb's Maintainer field: the person or list who answers for the package")
set(CPACK_PACKAGE_NAME wux)
set(CPACK_PACKAGE_VENDOR "wux")
set(CPACK_PACKAGE_CONTACT "${WUX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "WUX scene exporter: the wux command, the plug-in and the stand-in host")
set(CPACK_GENERATOR TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WUX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_INSTALL_PREFIX}/${WUX_PLUGIN_INSTALL_DIR}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
