# Builds the deliverables. Cross build: a plug-in DLL `<name>.zvx` per effect, made of
# the frame, the effect, its resource script and its export definition. Native build:
# a static library `<name>_effect` of the same sources over the project's own Win32
# declarations (native/win32.h), for the sanitized unit tests and the benchmarks.

get_filename_component(ZVX_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(ZVX_FRAME_DIR ${ZVX_ROOT}/frame)
set(ZVX_FRAME_SOURCES
  ${ZVX_FRAME_DIR}/plugin.cpp
  ${ZVX_FRAME_DIR}/settings.cpp
  ${ZVX_FRAME_DIR}/random.cpp
  ${ZVX_FRAME_DIR}/dialog.cpp)

set(ZVX_WARNINGS -Wall -Wextra -Wpedantic -Wconversion -Wno-sign-conversion -Werror)

if(WIN32)
  set(ZVX_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${ZVX_OUTPUT_DIR})
  # The host's machine has no toolchain DLLs: link the runtime statically everywhere.
  add_link_options(-static)
elseif(NOT ZVX_BENCH)
  set(ZVX_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()

# zvx_effect(NAME SOURCES file... RC file DEF file)
function(zvx_effect name)
  cmake_parse_arguments(ARG "" "RC;DEF" "SOURCES" ${ARGN})
  if(WIN32)
    add_library(${name} SHARED ${ZVX_FRAME_SOURCES} ${ARG_SOURCES} ${ARG_RC} ${ARG_DEF})
    set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".zvx")
    target_include_directories(${name} PRIVATE ${ZVX_FRAME_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE _WIN32_WINNT=0x0501 WINVER=0x0501 WIN32_LEAN_AND_MEAN)
    target_compile_options(${name} PRIVATE
      $<$<COMPILE_LANGUAGE:CXX>:${ZVX_WARNINGS} -Os -fno-exceptions -fno-rtti
        -fno-threadsafe-statics -ffunction-sections -fdata-sections
        -finput-charset=UTF-8 -fexec-charset=CP932>)
    # Loadable by Windows XP: OS and subsystem version 5.01.
    target_link_options(${name} PRIVATE -s -Wl,--gc-sections
      -Wl,--major-os-version,5 -Wl,--minor-os-version,1
      -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1)
    install(TARGETS ${name} RUNTIME DESTINATION .)
  else()
    add_library(${name}_effect STATIC ${ZVX_FRAME_SOURCES} ${ARG_SOURCES})
    target_include_directories(${name}_effect PUBLIC
      ${ZVX_FRAME_DIR} ${CMAKE_CURRENT_SOURCE_DIR} ${ZVX_ROOT}/native)
    target_compile_options(${name}_effect PRIVATE ${ZVX_WARNINGS} ${ZVX_SANITIZE}
      -finput-charset=UTF-8 -fexec-charset=CP932)
    target_link_options(${name}_effect PUBLIC ${ZVX_SANITIZE})
  endif()
endfunction()
