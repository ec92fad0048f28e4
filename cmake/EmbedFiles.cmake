# zorp_embed_files(<target> TABLE <name> BASE <folder> FILES <file>...)
#
# Builds the files (relative to the calling folder) into <target> and gives it
# a header <name>.h declaring
#     std::span<const EmbeddedFile> <name>();
# the table of the files, each named by its path relative to BASE, ready for
# RegisterEmbeddedFiles. The bytes go in with the assembler's .incbin, which
# GCC, Clang and MinGW all accept, so large files cost no compile time.
function(zorp_embed_files target)
  cmake_parse_arguments(ARG "" "TABLE;BASE" "FILES" ${ARGN})
  if(NOT ARG_TABLE OR NOT ARG_BASE OR NOT ARG_FILES)
    message(FATAL_ERROR "zorp_embed_files needs TABLE, BASE and FILES")
  endif()
  if(WIN32)
    set(section ".section .rdata,\\\"dr\\\"")
  else()
    set(section ".section .rodata")
  endif()

  set(assembly "")
  set(declarations "")
  set(entries "")
  set(paths "")
  set(index 0)
  foreach(file IN LISTS ARG_FILES)
    get_filename_component(path "${file}" ABSOLUTE)
    file(RELATIVE_PATH name "${ARG_BASE}" "${path}")
    set(symbol "zorp_embed_${ARG_TABLE}_${index}")
    string(APPEND assembly
      "    \"${section}\\n\"\n"
      "    \".balign 16\\n\"\n"
      "    \".globl ${symbol}\\n\"\n"
      "    \"${symbol}:\\n\"\n"
      "    \".incbin \\\"${path}\\\"\\n\"\n"
      "    \"${symbol}_end:\\n\"\n"
      "    \".balign 4\\n\"\n"
      "    \".globl ${symbol}_size\\n\"\n"
      "    \"${symbol}_size:\\n\"\n"
      "    \".long ${symbol}_end - ${symbol}\\n\"\n")
    string(APPEND declarations
      "extern \"C\" const uint8_t ${symbol}[];\n"
      "extern \"C\" const int ${symbol}_size;\n")
    string(APPEND entries "      {\"${name}\", ${symbol}, ${symbol}_size},\n")
    list(APPEND paths "${path}")
    math(EXPR index "${index} + 1")
  endforeach()

  set(out "${CMAKE_CURRENT_BINARY_DIR}/embed")
  file(CONFIGURE OUTPUT "${out}/${ARG_TABLE}.h" @ONLY CONTENT
"// Made by zorp_embed_files; do not edit.
#pragma once
#include <span>

#include \"stream/embedded_file.h\"

std::span<const EmbeddedFile> ${ARG_TABLE}();
")
  file(CONFIGURE OUTPUT "${out}/${ARG_TABLE}.cpp" @ONLY CONTENT
"// Made by zorp_embed_files; do not edit.
#include \"${ARG_TABLE}.h\"

#include <cstdint>

__asm__(
${assembly}    \".text\\n\");

${declarations}
std::span<const EmbeddedFile> ${ARG_TABLE}() {
  static const EmbeddedFile files[] = {
${entries}  };
  return files;
}
")
  set_source_files_properties("${out}/${ARG_TABLE}.cpp" PROPERTIES OBJECT_DEPENDS "${paths}")
  target_sources(${target} PRIVATE "${out}/${ARG_TABLE}.cpp")
  target_include_directories(${target} PRIVATE "${out}")
endfunction()
