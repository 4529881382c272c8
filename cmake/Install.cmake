# cmake --install: the tool, the plug-in and the host library in the conventional places.
# Every path between them is relative ($ORIGIN), so the installed tree works wherever it is
# moved; cpack makes the same tree into an archive.
include(GNUInstallDirs)

set(WUX_PLUGIN_INSTALL_DIR "${CMAKE_INSTALL_LIBDIR}/wux")

# The library folder as seen from a folder of the installed tree, for RUNPATHs.
function(wux_relative_origin out from_dir)
    file(RELATIVE_PATH rel "/${from_dir}" "/${CMAKE_INSTALL_LIBDIR}")
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
install(TARGETS wux_host LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}")
install(TARGETS wux_plugin LIBRARY DESTINATION "${WUX_PLUGIN_INSTALL_DIR}")
install(FILES README.md docs/wux-tool.md docs/wux-format.md docs/json-scene.md docs/importing.md
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")

set(CPACK_PACKAGE_NAME wux)
set(CPACK_PACKAGE_VENDOR "wux")
set(CPACK_PACKAGE_CONTACT "wux maintainers <wux@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "WUX scene exporter: the wux command, the plug-in and the stand-in host")
set(CPACK_GENERATOR TGZ)
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
