# cmake -DSOURCE=page -DOUTPUT=file [-DEXAMPLE=source file] -P render_man_page.cmake
# Writes the page with its EXAMPLE_SOURCE line replaced by the example, escaped
# for roff: backslashes doubled as \e, and a line starting with "." or "'"
# guarded by \& so it is not read as a request.
file(READ ${SOURCE} page)
if(EXAMPLE)
  file(READ ${EXAMPLE} example)
  string(REPLACE "\\" "\\e" example "${example}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" example "${example}")
  string(REGEX REPLACE "\n$" "" example "${example}")
  string(REPLACE "EXAMPLE_SOURCE" "${example}" page "${page}")
elseif(page MATCHES "\nEXAMPLE_SOURCE\n")
  message(FATAL_ERROR "${SOURCE} shows an example, but none was given")
endif()
file(WRITE ${OUTPUT} "${page}")
