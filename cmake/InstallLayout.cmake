# SPDX-License-Identifier: MIT
# The installed layout, relative to any prefix (LIBDIR is lib/x86_64-linux-gnu):
#   lib/zimbrel/zmb, lib/zimbrel/sounds/, lib/zimbrel/numbers/
#   bin/zmb -> ../lib/zimbrel/zmb
#   LIBDIR/libzimbrel-musiclist.so.*, include/Zimbrel/, LIBDIR/cmake/Zimbrel/
#   LIBDIR/qt6/plugins/designer/ (the Designer plugin, see designer/)
# zmb resolves its own links (/proc/self/exe), so through bin/zmb it still
# finds sounds/ beside the real executable; and it finds the library through
# a path relative to itself, so the prefix can move.
#
# Each file belongs to one component, which is one Debian package
# (cmake/Packaging.cmake): program, library or development.

file(RELATIVE_PATH zimbrel_app_to_libdir
    /${ZIMBREL_INSTALL_APP_DIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(zmb PROPERTIES INSTALL_RPATH "$ORIGIN/${zimbrel_app_to_libdir}")
install(TARGETS zmb RUNTIME DESTINATION ${ZIMBREL_INSTALL_APP_DIR} COMPONENT program)

file(RELATIVE_PATH zimbrel_bin_to_zmb
    /${CMAKE_INSTALL_BINDIR} /${ZIMBREL_INSTALL_APP_DIR}/zmb)
# Evaluated at install time, so it follows --prefix, DESTDIR and CPack's staging.
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zmb\")
    message(STATUS \"Installing: \${link} -> ${zimbrel_bin_to_zmb}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${zimbrel_bin_to_zmb}\" \"\${link}\" SYMBOLIC)
" COMPONENT program)

# Gzipped as Debian installs manual pages: best compression, no name or time
# stamp, so the same page gives the same bytes.
set(zimbrel_man_page ${CMAKE_BINARY_DIR}/zmb.1.gz)
add_custom_command(OUTPUT ${zimbrel_man_page}
    COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/docs/zmb.1 > ${zimbrel_man_page}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/zmb.1
    COMMENT "Compressing the manual page")
add_custom_target(man-page ALL DEPENDS ${zimbrel_man_page})
install(FILES ${zimbrel_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

# The CMake package for programs that embed the widget:
#   find_package(Zimbrel 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE Zimbrel::MusicList)
include(CMakePackageConfigHelpers)
set(ZIMBREL_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zimbrel)
install(EXPORT ZimbrelTargets NAMESPACE Zimbrel:: DESTINATION ${ZIMBREL_INSTALL_CMAKE_DIR}
    COMPONENT development)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZimbrelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_LIST_DIR}/ZimbrelConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/ZimbrelConfigVersion.cmake
    DESTINATION ${ZIMBREL_INSTALL_CMAKE_DIR} COMPONENT development)
