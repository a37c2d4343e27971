# The texts for people in languages other than English: one gettext catalogue per language,
# po/LANGUAGE.po, whose message ids are the English texts of the resource script and the sources.
# On Linux the program reads the compiled catalogues; on Windows each becomes a string table of
# the resource script. po/quorvex.pot is written by the target quorvex_pot, which also brings the
# catalogues up to date with it.
set(quorvex_languages ja)
# Each language as the resource script names it.
set(quorvex_windows_language_ja LANG_JAPANESE:SUBLANG_DEFAULT)

find_program(MSGFMT msgfmt REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(po_folder ${PROJECT_SOURCE_DIR}/po)
set(english_table ${PROJECT_BINARY_DIR}/po/english_table.cpp)
add_custom_command(
  OUTPUT ${english_table}
  COMMAND ${CMAKE_COMMAND} -DRC=${PROJECT_SOURCE_DIR}/res/quorvex.rc -DOUTPUT=${english_table}
          -P ${PROJECT_SOURCE_DIR}/platform/qtwindow/string_table.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/res/quorvex.rc ${PROJECT_SOURCE_DIR}/res/resource.h
          ${PROJECT_SOURCE_DIR}/platform/qtwindow/string_table.cmake
  COMMENT "Listing the texts of quorvex.rc"
  VERBATIM)

set(catalogues "")
set(windows_tables "")
foreach(language IN LISTS quorvex_languages)
  # A build tree's programs find their catalogues in locale/ beside them.
  set(catalogue ${PROJECT_BINARY_DIR}/locale/${language}/LC_MESSAGES/quorvex.mo)
  add_custom_command(
    OUTPUT ${catalogue}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/locale/${language}/LC_MESSAGES
    COMMAND ${MSGFMT} --check -o ${catalogue} ${po_folder}/${language}.po
    DEPENDS ${po_folder}/${language}.po
    COMMENT "Compiling the ${language} catalogue"
    VERBATIM)
  list(APPEND catalogues ${catalogue})
  list(APPEND windows_tables ${catalogue}:${quorvex_windows_language_${language}})
endforeach()
add_custom_target(quorvex_catalogues ALL DEPENDS ${catalogues})
add_dependencies(quorvex_core quorvex_catalogues)

if(WIN32)
  # quorvex.rc includes the other languages' string tables from here.
  set(translations_folder ${PROJECT_BINARY_DIR}/po)
  set(translations_rc ${translations_folder}/translations.rc)
  add_custom_command(
    OUTPUT ${translations_rc}
    COMMAND Python3::Interpreter ${po_folder}/catalogues.py rc ${english_table} ${translations_rc} ${windows_tables}
    DEPENDS ${po_folder}/catalogues.py ${english_table} ${catalogues}
    COMMENT "Writing the string tables of the catalogues"
    VERBATIM)
else()
  set(merges "")
  foreach(language IN LISTS quorvex_languages)
    list(APPEND merges COMMAND msgmerge --quiet --update --backup=none --no-location --sort-output
         ${po_folder}/${language}.po ${po_folder}/quorvex.pot)
  endforeach()
  file(GLOB_RECURSE program_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/display/*.cpp
       ${PROJECT_SOURCE_DIR}/tuner/*.cpp ${PROJECT_SOURCE_DIR}/platform/*.cpp)
  add_custom_target(
    quorvex_pot
    COMMAND Python3::Interpreter ${po_folder}/catalogues.py pot ${english_table} ${po_folder}/quorvex.pot
            ${program_sources}
    ${merges}
    DEPENDS ${english_table}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Writing po/quorvex.pot and merging it into the catalogues"
    VERBATIM)
endif()
