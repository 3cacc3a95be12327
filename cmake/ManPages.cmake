# Man pages are installed gzipped with -9n (no name or time stamp inside, so the
# package is the same on every build), as Debian wants them. A page may show a
# source file of the project as its example: a line holding only EXAMPLE_SOURCE
# is replaced by that file, so the example a reader sees is the one the package
# test compiles.
set(QUARN_RENDER_MAN_PAGE ${CMAKE_CURRENT_LIST_DIR}/render_man_page.cmake)

# quarn_add_man_page(<page in this folder, e.g. tool.1> [EXAMPLE <file>] [COMPONENT <install component>])
function(quarn_add_man_page page)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "EXAMPLE;COMPONENT" "")
  if(NOT arg_COMPONENT)
    set(arg_COMPONENT ${CMAKE_INSTALL_DEFAULT_COMPONENT_NAME})
  endif()
  get_filename_component(name ${page} NAME)
  string(REGEX MATCH "[1-9]$" section ${name})
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${page})
  set(plain ${CMAKE_CURRENT_BINARY_DIR}/man/${name})
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DEXAMPLE=${arg_EXAMPLE} -DOUTPUT=${plain}
            -P ${QUARN_RENDER_MAN_PAGE}
    COMMAND gzip -9nf ${plain}
    DEPENDS ${source} ${arg_EXAMPLE} ${QUARN_RENDER_MAN_PAGE}
    COMMENT "Man page ${name}"
    VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${plain}.gz)
  install(FILES ${plain}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${arg_COMPONENT})
endfunction()
