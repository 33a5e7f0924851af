# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedText.cmake
# Writes a C++ source that defines `extern const char SYMBOL[]` holding the input file's text
# exactly, so a resource kept as its own file is compiled into the module.
file(READ "${INPUT}" text)
set(delimiter "zanres")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw string delimiter )${delimiter}\"")
endif()
file(WRITE "${OUTPUT}.tmp"
     "// Generated from ${INPUT}; do not edit.\n"
     "extern const char ${SYMBOL}[];\n"
     "const char ${SYMBOL}[] = R\"${delimiter}(${text})${delimiter}\";\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
