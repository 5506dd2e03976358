# The CMake package for programs that embed the widget:
#   find_package(Zimbrel 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE Zimbrel::MusicList)
include(CMakePackageConfigHelpers)
set(ZIMBREL_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Zimbrel)
install(EXPORT ZimbrelTargets NAMESPACE Zimbrel:: DESTINATION ${ZIMBREL_INSTALL_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZimbrelConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_LIST_DIR}/ZimbrelConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/ZimbrelConfigVersion.cmake
    DESTINATION ${ZIMBREL_INSTALL_CMAKE_DIR})

# The Debian package: cpack -G DEB in the build folder gives
# zimbrel_1.0.0.1_amd64.deb, its dependencies read from the binaries.
set(CPACK_PACKAGE_NAME zimbrel)
# All four parts, as the program's version: CPack would keep three.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zimbrel developers")
set(CPACK_PACKAGE_CONTACT "Zimbrel developers <zimbrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop notifier that shows a message and plays a sound")
set(CPACK_PACKAGE_DESCRIPTION
    "Run as zmb SOUND/TEXT, it opens a small window with the text and plays the sound \
SOUND.wav from its sounds folder. The package also carries the MusicList widget library, \
its headers and its CMake package.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# zmb needs the library that this very package carries, not another package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/musiclist)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# GStreamer loads these as plug-ins, so no binary names them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-pulseaudio | gstreamer1.0-alsa")
include(CPack)
