# Warning and sanitizer settings shared by every target of the project.
add_library(tidewell_options INTERFACE)
target_compile_options(tidewell_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Checks the lock annotations of platform/thread_annotations.h: state marked
  # as guarded is touched only with its lock held.
  target_compile_options(tidewell_options INTERFACE -Wthread-safety)
endif()
if(TIDEWELL_WERROR)
  target_compile_options(tidewell_options INTERFACE -Werror)
endif()
if(TIDEWELL_FUZZ)
  # Every library gets coverage for the fuzzer; the fuzz targets add the
  # fuzzer's main themselves.
  target_compile_options(tidewell_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(TIDEWELL_SANITIZE)
  target_compile_options(tidewell_options INTERFACE
    -fsanitize=${TIDEWELL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tidewell_options INTERFACE -fsanitize=${TIDEWELL_SANITIZE})
endif()

# Adds a library for one layer folder: sources given, headers found by
# "#include <folder/header.h>" from the project root.
function(tidewell_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE tidewell_options)
endfunction()
