# Writes the STRINGTABLE entries of a resource script as a C++ table, so that the script stays
# the one source of the program's strings.
#   cmake -DRC=<script.rc> -DOUTPUT=<table.cpp> -P string_table.cmake
# Symbolic ids are resolved through the #define lines of the headers the script includes in
# quotes, next to it.

file(READ "${RC}" script)
get_filename_component(script_dir "${RC}" DIRECTORY)

# CMake lists split on ';' and keep '[...]' together, so those travel as placeholders.
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(REPLACE ";" "${semicolon}" script "${script}")
string(REPLACE "[" "${open_bracket}" script "${script}")
string(REPLACE "]" "${close_bracket}" script "${script}")
string(REPLACE "\r" "" script "${script}")
string(REPLACE "\n" ";" lines "${script}")

foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\"")
    file(STRINGS "${script_dir}/${CMAKE_MATCH_1}" defines REGEX "^[ \t]*#[ \t]*define[ \t]")
    foreach(define IN LISTS defines)
      if(define MATCHES "^[ \t]*#[ \t]*define[ \t]+([A-Za-z_][A-Za-z_0-9]*)[ \t]+(0[xX][0-9A-Fa-f]+|[0-9]+)[ \t]*(//.*)?$")
        math(EXPR "id_${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}")
      endif()
    endforeach()
  endif()
endforeach()

set(entries "")
set(state outside)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(state STREQUAL "outside")
    if(line MATCHES "^STRINGTABLE[ \t].*(BEGIN|{)$")
      set(state inside)
    elseif(line MATCHES "^STRINGTABLE([ \t]|$)")
      set(state header)
    endif()
  elseif(state STREQUAL "header")
    if(line MATCHES "^(BEGIN|{)$")
      set(state inside)
    endif()
  elseif(line MATCHES "^(END|})$")
    set(state outside)
  elseif(line MATCHES "^([A-Za-z_0-9]+)[ \t]*,?[ \t]*L?\"((\"\"|[^\"])*)\"[ \t]*(//.*)?$")
    set(name "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(name MATCHES "^[0-9]+$")
      set(id "${name}")
    elseif(DEFINED "id_${name}")
      set(id "${id_${name}}")
    else()
      message(FATAL_ERROR "${RC}: string id ${name} is defined in no included header")
    endif()
    # The script doubles a quote inside a string; its backslash escapes are C++'s.
    string(REPLACE "\"\"" "\\\"" text "${text}")
    string(APPEND entries "    {${id}, L\"${text}\"},\n")
  elseif(NOT line STREQUAL "" AND NOT line MATCHES "^//")
    message(FATAL_ERROR "${RC}: unreadable string table line: ${line}")
  endif()
endforeach()

string(REPLACE "${semicolon}" ";" entries "${entries}")
string(REPLACE "${open_bracket}" "[" entries "${entries}")
string(REPLACE "${close_bracket}" "]" entries "${entries}")

if(entries STREQUAL "")
  set(table "std::span<const StringResource> string_table() { return {}; }\n")
else()
  set(table "static const StringResource strings[] = {\n${entries}};\n\nstd::span<const StringResource> string_table() { return strings; }\n")
endif()
get_filename_component(script_name "${RC}" NAME)
file(WRITE "${OUTPUT}" "// Generated from ${script_name} by string_table.cmake: edit the resource script instead.
#include \"platform/qtwindow/string_table.h\"

namespace qtwindow {

${table}
} // namespace qtwindow
")
