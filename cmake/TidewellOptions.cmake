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

# Gives a target the headers of one project folder, found as
# "#include <folder/header.h>": an include root of its own that holds only
# that folder. A target sees the folders of the layers it links and no
# others, so an include that points up or sideways does not compile.
function(tidewell_own_headers name folder scope)
  set(root ${PROJECT_BINARY_DIR}/layer_include/${name})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${name} ${scope} ${root})
endfunction()

# Adds a library for one layer folder. PUBLIC_DEPS: the layers and libraries
# its own headers include (whoever uses it needs them too); DEPS: those only
# its sources use.
function(tidewell_layer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  tidewell_own_headers(${name} ${folder} PUBLIC)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_DEPS} tidewell_options)
endfunction()
