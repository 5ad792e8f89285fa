# Shared build rules: warnings, sanitizers and the one-library-per-folder convention.

add_library(kv_options INTERFACE)
target_compile_options(kv_options INTERFACE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
  $<IF:$<CXX_COMPILER_ID:GNU>,-Wshadow=local,-Wshadow-uncaptured-local>)
if(KV_WERROR)
  target_compile_options(kv_options INTERFACE -Werror)
endif()
# Assertions report the unit path relative to the source root.
target_compile_definitions(kv_options INTERFACE KV_SOURCE_ROOT="${PROJECT_SOURCE_DIR}/")

if(KV_SANITIZE)
  set(KV_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_compile_options(kv_options INTERFACE ${KV_SANITIZER_FLAGS})
  target_link_options(kv_options INTERFACE ${KV_SANITIZER_FLAGS})
endif()

# Fuzzers need coverage instrumentation in every library they reach (see fuzz/CMakeLists.txt).
if(KV_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KV_BUILD_FUZZERS needs clang (CC=clang CXX=clang++)")
  endif()
  target_compile_options(kv_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# kv_folder_library(<target> [POSIX] [QT] [EXCLUDE <files...>] DEPS <targets...>)
# One static library from the *.cpp files of the current folder; with POSIX also those of posix/.
# QT runs moc on the folder's headers. EXCLUDE names files of the folder that are not part of the
# library (a program's entry, for example).
function(kv_folder_library target)
  cmake_parse_arguments(ARG "POSIX;QT" "" "EXCLUDE;DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(ARG_POSIX)
    file(GLOB posix_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/posix/*.cpp)
    list(APPEND sources ${posix_sources})
  endif()
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC kv_options ${ARG_DEPS})
    if(ARG_QT)
      set_target_properties(${target} PROPERTIES AUTOMOC ON)
    endif()
  else()  # a folder without units yet
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE kv_options ${ARG_DEPS})
  endif()
endfunction()

# kv_folder_tests(<target> [GUI] [RESOURCE_LOCK <name>] DEPS <targets...>)
# One GoogleTest program from the *.test.cpp files of the current test folder. GUI programs get an
# entry that creates the QApplication first (tests/support/qt/QtTestMain.cpp) instead of gtest_main.
# CTest never runs two tests holding the same RESOURCE_LOCK at once, in any program.
function(kv_folder_tests target)
  cmake_parse_arguments(ARG "GUI" "RESOURCE_LOCK" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.test.cpp)
  if(NOT sources)
    return()
  endif()
  if(ARG_GUI)
    set(test_main kv_qttestmain Qt6::Test)
  else()
    set(test_main GTest::gtest_main)
  endif()
  add_executable(${target} ${sources})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${target} PRIVATE kv_testsupport ${ARG_DEPS} GTest::gtest GTest::gmock ${test_main})
  set(lock)
  if(ARG_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  # One value per property: the discovered tests' script splits list values apart.
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "KV_TEST_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
               ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:offscreen" ${lock})
endfunction()
