# Shared build rules: one static library per module folder, GUI sources apart.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# Aggregates here give every member a default, so partial braces are intended.
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
if(QUORIN_WERROR)
  add_compile_options(-Werror)
endif()
if(QUORIN_SANITIZE)
  add_compile_options(-fsanitize=${QUORIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  # GCC's flow analysis reports false "maybe uninitialized" in the standard library
  # (std::regex, std::function) once sanitizer instrumentation is in.
  add_compile_options(-Wno-maybe-uninitialized)
  add_link_options(-fsanitize=${QUORIN_SANITIZE})
endif()

set(QUORIN_VERSION_STRING "${PROJECT_VERSION}")

# quorin_add_module(NAME <folder> [DEPS targets...] [GUI_DEPS targets...])
# Engine sources are the folder's *.cpp (except *_win.cpp); sources under gui/ form
# quorin_<folder>_gui, which alone may see Qt.
function(quorin_add_module)
  cmake_parse_arguments(M "" "NAME" "DEPS;GUI_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "_win\\.cpp$")
  add_library(quorin_${M_NAME} STATIC ${srcs})
  target_include_directories(quorin_${M_NAME} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(quorin_${M_NAME} PUBLIC ${M_DEPS} Threads::Threads)
  file(GLOB gui_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/gui/*.cpp)
  # A partial build (QUORIN_MODULES) leaves out the GUI library whose module
  # dependencies are not built.
  foreach(dep IN LISTS M_GUI_DEPS)
    if(dep MATCHES "^quorin_([a-z]+)(_gui)?$" AND NOT CMAKE_MATCH_1 IN_LIST QUORIN_MODULES)
      set(gui_srcs "")
    endif()
  endforeach()
  if(gui_srcs AND QUORIN_BUILD_GUI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets Network)
    add_library(quorin_${M_NAME}_gui STATIC ${gui_srcs})
    set_target_properties(quorin_${M_NAME}_gui PROPERTIES AUTOMOC ON)
    target_link_libraries(quorin_${M_NAME}_gui PUBLIC quorin_${M_NAME} ${M_GUI_DEPS} Qt6::Widgets Qt6::Network)
  endif()
endfunction()

# quorin_add_tests(<dir> LIBS targets... [DEPENDS targets...] [ENV k=v...])
# Every test_*.cpp in <dir> becomes one GoogleTest binary. Each test runs with HOME,
# XDG folders, TMPDIR and the data folder inside the build tree, so nothing escapes.
# DEPENDS names build products the tests use (programs, skins, language files): they
# are built before the tests, and a test fails rather than skips when one is missing.
include(GoogleTest)
find_package(GTest REQUIRED)
function(quorin_add_tests)
  cmake_parse_arguments(T "" "DIR" "LIBS;DEPENDS;ENV" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${T_DIR}/test_*.cpp)
  set(home ${CMAKE_BINARY_DIR}/testhome)
  file(MAKE_DIRECTORY ${home}/tmp)
  set(env
    HOME=${home} XDG_CONFIG_HOME=${home}/config XDG_DATA_HOME=${home}/data
    XDG_CACHE_HOME=${home}/cache QUORIN_DATA_DIR=${home}/data/QuorinVideoConverter
    TMPDIR=${home}/tmp QUORIN_POWEROFF_COMMAND=/bin/true
    QUORIN_MEDIA_DIR=${QUORIN_MEDIA_DIR} QUORIN_PROGRAM_DIR=${QUORIN_PROGRAM_DIR}
    QT_QPA_PLATFORM=offscreen SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
    # Under ThreadSanitizer: races inside the uninstrumented FFmpeg, Mesa and Qt
    # libraries are muted; everything of ours stays checked.
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp
    ${T_ENV})
  foreach(src IN LISTS tests)
    get_filename_component(name ${src} NAME_WE)
    get_filename_component(dir ${T_DIR} NAME)
    set(target ${dir}_${name})
    add_executable(${target} ${src})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${T_LIBS} quorin_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    foreach(dep IN LISTS T_DEPENDS)
      if(TARGET ${dep})
        add_dependencies(${target} ${dep})
      endif()
    endforeach()
    # The environment goes through `env` as the test launcher: a list passed as the
    # ENVIRONMENT property is split by gtest_discover_tests and only HOME would be set.
    set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "/usr/bin/env;${env}")
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endforeach()
endfunction()
