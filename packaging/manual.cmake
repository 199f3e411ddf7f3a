# Writes corvane-render's manual page: the template with its OPTIONS section filled from the
# tool's own option declarations (corvane-render --help-man), so the page lists every option
# exactly as --help describes it.
#   cmake -DRENDER=path/to/corvane-render -DTEMPLATE=corvane-render.1.in -DPAGE=corvane-render.1 -P manual.cmake
execute_process(COMMAND "${RENDER}" --help-man OUTPUT_VARIABLE RENDER_OPTIONS RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT RENDER_OPTIONS MATCHES "^\\.SH OPTIONS")
  message(FATAL_ERROR "${RENDER} --help-man failed (${status})")
endif()
string(STRIP "${RENDER_OPTIONS}" RENDER_OPTIONS)
configure_file("${TEMPLATE}" "${PAGE}" @ONLY)
