# SPDX-License-Identifier: MIT
# Zimbrel::MusicList, the sound-list widget library, under the MIT licence.
set(Zimbrel_LICENSE MIT)
include(CMakeFindDependencyMacro)
find_dependency(Qt6 6.4 COMPONENTS Widgets)
include(${CMAKE_CURRENT_LIST_DIR}/ZimbrelTargets.cmake)
