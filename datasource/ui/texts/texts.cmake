# Turns texts.txt (UTF-8) into the code-page table that ui/text_table.cpp
# includes. Included from datasource/CMakeLists.txt once kestrel_objs exists.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KESTREL_TEXTS_DIR ${CMAKE_CURRENT_LIST_DIR})
# Global, so the text table's own tests can compile text_table.cpp alone.
set(KESTREL_TEXTS_GENERATED_DIR ${CMAKE_CURRENT_BINARY_DIR}/generated CACHE INTERNAL "")
set(KESTREL_TEXTS_INC ${KESTREL_TEXTS_GENERATED_DIR}/text_table_data.inc)

add_custom_command(
  OUTPUT ${KESTREL_TEXTS_INC}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTREL_TEXTS_GENERATED_DIR}
  COMMAND Python3::Interpreter ${KESTREL_TEXTS_DIR}/make_text_table.py
          ${KESTREL_TEXTS_DIR}/texts.txt ${KESTREL_TEXTS_INC}
  DEPENDS ${KESTREL_TEXTS_DIR}/make_text_table.py ${KESTREL_TEXTS_DIR}/texts.txt
  COMMENT "Generating the localized text table"
  VERBATIM)
# One target owns the generation, so parallel builds never run it twice.
add_custom_target(kestrel_text_table_data DEPENDS ${KESTREL_TEXTS_INC})
add_dependencies(kestrel_objs kestrel_text_table_data)
target_include_directories(kestrel_objs PRIVATE ${KESTREL_TEXTS_GENERATED_DIR})
