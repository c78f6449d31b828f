# engine_add_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# Makes the target <name> with the alias engine::<name>, public headers from include/.
function(engine_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  add_library(engine::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# engine_add_test(<name> SOURCES ... DEPS ... [ENVIRONMENT VAR=value ...] [LABEL unit|gl|e2e|slow]):
# one GoogleTest executable run through CTest, its tests run with the given environment and
# carrying the label (default unit), so `ctest -L unit` runs only the fast in-process tests.
function(engine_add_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS;ENVIRONMENT" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ENGINE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ENGINE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(ARG_ENVIRONMENT)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300 LABELS ${ARG_LABEL} ENVIRONMENT "${ARG_ENVIRONMENT}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS ${ARG_LABEL})
  endif()
endfunction()

# engine_glob(<var> <dir> [patterns...]): the .cpp files of a folder, re-globbed when files come or go.
function(engine_glob var)
  file(GLOB files CONFIGURE_DEPENDS ${ARGN})
  list(SORT files)
  set(${var} ${files} PARENT_SCOPE)
endfunction()

# engine_add_bench(<name> SOURCES ... DEPS ...): one Google Benchmark program.
function(engine_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE
    ENGINE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    ENGINE_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

# engine_check_headers(<name> [FOLDER <sub-folder of include/>] [TARGET <target>] [EXCLUDE <regex>]):
# compiles every public header of include/<name>/ and its sub-folders alone in its own
# source file, so each one stays self-contained. FOLDER checks that folder only (with the
# target that provides what its headers need), and sub-folders given their own check are
# left out of the library's.
function(engine_check_headers name)
  cmake_parse_arguments(ARG "" "FOLDER;TARGET;EXCLUDE" "SKIP" ${ARGN})
  set(folder ${name})
  if(ARG_FOLDER)
    set(folder ${ARG_FOLDER})
  endif()
  set(target engine::${name})
  if(ARG_TARGET)
    set(target ${ARG_TARGET})
  endif()
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/${folder}/*.h)
  if(ARG_EXCLUDE)
    list(FILTER headers EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  foreach(skip IN LISTS ARG_SKIP)
    list(FILTER headers EXCLUDE REGEX "/include/${skip}/")
  endforeach()
  set(sources)
  foreach(header IN LISTS headers)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/include ${header})
    string(REGEX REPLACE "\\.h$" ".cpp" source_name ${relative})
    set(source ${CMAKE_CURRENT_BINARY_DIR}/header_check/${name}/${source_name})
    set(text "#include <${relative}>\n")
    if(EXISTS ${source})
      file(READ ${source} old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL text)
      file(WRITE ${source} "${text}")
    endif()
    list(APPEND sources ${source})
  endforeach()
  if(sources)
    add_library(${name}_header_check OBJECT ${sources})
    target_link_libraries(${name}_header_check PRIVATE ${target})
  endif()
endfunction()
