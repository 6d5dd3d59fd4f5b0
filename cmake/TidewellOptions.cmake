# Warning and sanitizer settings shared by every target of the project.
add_library(tidewell_options INTERFACE)
if(WIN32)
  target_compile_definitions(tidewell_options INTERFACE UNICODE _UNICODE NOMINMAX
                             WIN32_LEAN_AND_MEAN)
endif()
if(MSVC)
  # Sources are UTF-8 (the Chinese texts); wide strings are UTF-16.
  target_compile_options(tidewell_options INTERFACE /W4 /permissive- /utf-8 /Zc:__cplusplus)
  if(TIDEWELL_WERROR)
    target_compile_options(tidewell_options INTERFACE /WX)
  endif()
else()
  target_compile_options(tidewell_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  if(TIDEWELL_WERROR)
    target_compile_options(tidewell_options INTERFACE -Werror)
  endif()
endif()
if(NOT WIN32 AND NOT TIDEWELL_SANITIZE)
  # The C library's checked forms of memcpy, snprintf and the rest where the
  # sizes are known, as Debian builds its packages. They need an optimised
  # build, and the sanitizers check the same more closely.
  target_compile_definitions(tidewell_options INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # Checks the lock annotations of platform/thread_annotations.h: state marked
  # as guarded is touched only with its lock held.
  target_compile_options(tidewell_options INTERFACE -Wthread-safety)
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
    if(CMAKE_HOST_WIN32)
      # A directory junction needs no privilege, unlike a symbolic link.
      file(TO_NATIVE_PATH ${root}/${folder} link)
      file(TO_NATIVE_PATH ${PROJECT_SOURCE_DIR}/${folder} target)
      execute_process(COMMAND cmd /c mklink /J "${link}" "${target}" OUTPUT_QUIET
                      COMMAND_ERROR_IS_FATAL ANY)
    else()
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    endif()
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
