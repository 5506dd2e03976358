# SPDX-License-Identifier: MIT
# zimbrel_data_beside_program(TARGET FOLDER SCRIPT COMMENT EXTENSION NAMES...)
# Runs SCRIPT at build time to make FOLDER/NAME.EXTENSION for every name,
# in the folder beside zmb; TARGET builds them by default. They install into
# the same folder beside the installed zmb.
function(zimbrel_data_beside_program target folder script comment extension)
    set(files)
    foreach(name IN LISTS ARGN)
        list(APPEND files ${ZIMBREL_APP_DIR}/${folder}/${name}.${extension})
    endforeach()
    add_custom_command(
        OUTPUT ${files}
        COMMAND ${script} ${ZIMBREL_APP_DIR}/${folder}
        DEPENDS ${script}
        COMMENT "${comment}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${files})
    install(FILES ${files} DESTINATION ${ZIMBREL_INSTALL_APP_DIR}/${folder} COMPONENT program)
endfunction()
