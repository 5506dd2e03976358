# SPDX-License-Identifier: MIT
# The Debian packages: cpack -G DEB in the build folder gives, from the
# components of the install rules, as Debian splits a library:
#   zimbrel_1.0.0.1_amd64.deb                   program: zmb, its data, desktop files, man page
#   libzimbrel-musiclist1_1.0.0.1_amd64.deb     library: the shared library
#   libzimbrel-musiclist-dev_1.0.0.1_amd64.deb  development: headers, CMake package,
#                                               the .so link, the Designer plugin
# Their dependencies are read from the binaries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME zimbrel)
# All four parts, as the program's version: CPack would keep three.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zimbrel developers")
set(CPACK_PACKAGE_CONTACT "Zimbrel developers <zimbrel@zimbrel.invalid>")
# MIT; each package's copyright file (deb/copyright) carries the text.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
# CPack's own default summary, which it alone leaves out of a Debian
# description: each package's description below starts with its summary.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program library development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Each package names the packages of the components it depends on, at this
# exact version (the library is found by its build folder, not by a package).
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/musiclist)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME zimbrel)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION sound)
set(CPACK_COMPONENT_PROGRAM_DEPENDS library)
# The desktop's named sounds (complete, bell...), which zmb plays when its own
# folders lack the name; they are Ogg Vorbis, which gstreamer1.0-plugins-base
# (a dependency of the library) decodes.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS sound-theme-freedesktop)
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "desktop notifier that shows a message and plays a sound
Run as zmb SOUND/TEXT, it opens a small window with the text and plays the
sound SOUND.wav from its sounds folder, or else the sound of that name from
the desktop's sound theme.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libzimbrel-musiclist1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# GStreamer loads these as plug-ins, so no binary names them; the base set
# carries WAV, and Ogg Vorbis (oggdemux, vorbisdec) for sound themes.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-pulseaudio | gstreamer1.0-alsa")
# A shlibs file, so that other packages' dpkg-shlibdeps find this one, and the
# ldconfig trigger that Debian uses for libraries in the linker's folders.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# (CPack still writes postinst and postrm that run ldconfig themselves.)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/deb/triggers)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "Qt widget that plays sounds, music, playlists and numbers
Zimbrel::MusicList is a QWidget with a one-shot sound channel, a looping
music channel, a playlist of up to 1024 files and a composer that speaks
numbers from 0 to 9999 from recorded clips, played through GStreamer.
.
This package contains the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzimbrel-musiclist-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS qt6-base-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS designer-qt6)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Qt widget that plays sounds - development files
Zimbrel::MusicList is a QWidget with a one-shot sound channel, a looping
music channel, a playlist of up to 1024 files and a composer that speaks
numbers from 0 to 9999 from recorded clips, played through GStreamer.
.
This package contains the headers, the CMake package (find_package(Zimbrel))
and the Qt Designer plugin that puts the widget in Designer's widget box.")

# Every package carries its copyright and changelog, as Debian policy asks.
foreach(component program library development)
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/deb/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    install(FILES ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/deb/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/deb/changelog
    COMMENT "Compressing the package changelog")
add_custom_target(package-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
include(CPack)
