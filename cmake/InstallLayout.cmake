# The installed layout, relative to any prefix:
#   lib/zimbrel/zmb, lib/zimbrel/sounds/, lib/zimbrel/numbers/
#   bin/zmb -> ../lib/zimbrel/zmb
#   lib/libzimbrel-musiclist.so.*, include/Zimbrel/, lib/cmake/Zimbrel/
# zmb resolves its own links (/proc/self/exe), so through bin/zmb it still
# finds sounds/ beside the real executable; and it finds the library through
# a path relative to itself, so the prefix can move.

file(RELATIVE_PATH zimbrel_app_to_libdir
    /${ZIMBREL_INSTALL_APP_DIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(zmb PROPERTIES INSTALL_RPATH "$ORIGIN/${zimbrel_app_to_libdir}")
install(TARGETS zmb RUNTIME DESTINATION ${ZIMBREL_INSTALL_APP_DIR})

file(RELATIVE_PATH zimbrel_bin_to_zmb
    /${CMAKE_INSTALL_BINDIR} /${ZIMBREL_INSTALL_APP_DIR}/zmb)
# Evaluated at install time, so it follows --prefix, DESTDIR and CPack's staging.
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/zmb\")
    message(STATUS \"Installing: \${link} -> ${zimbrel_bin_to_zmb}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${zimbrel_bin_to_zmb}\" \"\${link}\" SYMBOLIC)
")

install(FILES ${CMAKE_SOURCE_DIR}/docs/zmb.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
