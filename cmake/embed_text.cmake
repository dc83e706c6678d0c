# Writes a C++ source defining `dg::${SYMBOL}`, a std::string_view holding the
# text of INPUT, as a raw string literal. Run with cmake -P.
file(READ "${INPUT}" content)
get_filename_component(name "${INPUT}" NAME)
set(delimiter "dgtext")
string(FIND "${content}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains )${delimiter}\" and cannot be embedded")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${name} at build time; do not edit.\n"
  "#include <string_view>\n\n"
  "namespace dg {\n"
  "extern const std::string_view ${SYMBOL};\n"
  "const std::string_view ${SYMBOL} = R\"${delimiter}(${content})${delimiter}\";\n"
  "}  // namespace dg\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
