# Installation and the Debian package.
#
# `cmake --install` puts the program, its desktop entry, icons, manual page and
# documentation into the GNU layout under the prefix; `cpack -G DEB` packs the
# same tree as corvane-test_<version>_<arch>.deb for /usr. Only the program,
# the virtual radio corvane-vradio and the check corvane-check beside it, and the Hamlib plugin (hamlibplugin/,
# installed by its own rule into
# <libdir>/corvane-test) come from the build: the other libraries are static
# and linked into them, and tests, benchmarks and fuzz targets have no install
# rules.

include(GNUInstallDirs)

# The package, and so its documentation folder, is called corvane-test (the
# CMake project is corvane_test). A DOCDIR given on the command line wins.
get_property(corvane_docdir_cache CACHE CMAKE_INSTALL_DOCDIR PROPERTY VALUE)
if(NOT corvane_docdir_cache)
    set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane-test")
endif()

# Folders the install makes are rwxr-xr-x whatever the umask of whoever
# builds: lintian warns about group-writable folders in a package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(corvane_pkg_src "${PROJECT_SOURCE_DIR}/packaging")
set(corvane_pkg_bin "${PROJECT_BINARY_DIR}/packaging")

# Manual pages and the changelog are installed compressed, as Debian wants
# them; -n keeps name and time stamp out of the gzip header so rebuilding
# gives the same bytes.
set(corvane_gzipped)
foreach(corvane_plain IN ITEMS corvane-test.1 corvane-vradio.1 corvane-check.1 changelog)
    set(corvane_gz "${corvane_pkg_bin}/${corvane_plain}.gz")
    add_custom_command(
        OUTPUT "${corvane_gz}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${corvane_pkg_bin}"
        COMMAND sh -c "gzip -9 -n -c \"$0\" > \"$1\"" "${corvane_pkg_src}/${corvane_plain}" "${corvane_gz}"
        DEPENDS "${corvane_pkg_src}/${corvane_plain}"
        COMMENT "Compressing ${corvane_plain}"
        VERBATIM)
    list(APPEND corvane_gzipped "${corvane_gz}")
endforeach()
add_custom_target(corvane_packaging_files ALL DEPENDS ${corvane_gzipped})

install(TARGETS corvane-test corvane-vradio corvane-check RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

install(FILES "${corvane_pkg_src}/corvane-test.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${corvane_pkg_src}/icons/corvane-test.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
foreach(corvane_size IN ITEMS 48 128 256)
    install(FILES "${corvane_pkg_src}/icons/corvane-test-${corvane_size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${corvane_size}x${corvane_size}/apps"
            RENAME corvane-test.png)
endforeach()
install(FILES "${corvane_pkg_bin}/corvane-test.1.gz" "${corvane_pkg_bin}/corvane-vradio.1.gz"
              "${corvane_pkg_bin}/corvane-check.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

# README.md links the other documents, screenshots and the example profile
# as docs/..., so they keep the repository's layout.
install(FILES README.md "${corvane_pkg_src}/copyright" "${corvane_pkg_bin}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES docs/profiles.md docs/trace.md docs/hamlib.md docs/vradio.md docs/check.md docs/window.png docs/window-1.5x.png
              docs/refused.png
        DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs")
install(FILES docs/examples/airband.json DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs/examples")
install(FILES component/sim/profiles/hf.json component/sim/profiles/vhf.json component/sim/profiles/bc.json
        DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")

# --- Debian package -------------------------------------------------------

# The Qt platform plugins (xcb for X11 and XWayland) are loaded at run time,
# so dpkg-shlibdeps cannot see them. Which package holds them is the
# distribution's choice (libqt6gui6 on Debian 12): ask dpkg about the plugin
# this build's Qt would load. When it is the package of the Qt GUI library the
# program links, shlibdeps names it already, with a version.
function(corvane_package_of target out)
    set(${out} "" PARENT_SCOPE)
    if(NOT TARGET ${target})
        return()
    endif()
    get_target_property(file ${target} LOCATION)
    execute_process(COMMAND dpkg-query -S "${file}"
                    OUTPUT_VARIABLE owner RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0 AND owner MATCHES "^([^:, ]+)")
        set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    endif()
endfunction()
corvane_package_of(Qt6::QXcbIntegrationPlugin corvane_qpa_package)
corvane_package_of(Qt6::Gui corvane_gui_package)
if(NOT corvane_qpa_package)
    set(corvane_qpa_package libqt6gui6)
endif()
if(corvane_qpa_package STREQUAL corvane_gui_package)
    set(corvane_qpa_package "")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-test)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "the Corvane Test developers")
set(CPACK_PACKAGE_CONTACT "Corvane Dev <dev@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test program for communications receivers")
# Wrapped by hand: CPack copies the lines into the control file as they are,
# except that it XML-escapes some characters (an apostrophe comes out as
# &apos;), so the text has none of them.
set(CPACK_PACKAGE_DESCRIPTION_FILE "${corvane_pkg_src}/description.txt")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_CORVANE_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS "${corvane_pkg_src}/StripNotes.cmake")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(corvane_qpa_package)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${corvane_qpa_package}")
endif()
# rigctld, for receivers on other machines.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libhamlib-utils)
# control and md5sums rw-r--r-- whatever the umask, as Debian policy wants.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# `cpack --config CPackSourceConfig.cmake` would otherwise take the build
# folders and the repository along.
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/Testing/")

include(CPack)
