# C code for Wayland protocols, generated from their XML by wayland-scanner at
# build time: tumblix_wayland_protocols(TARGET XML...) makes TARGET a static
# library holding each protocol's code, with its client header
# (NAME-client-protocol.h, NAME the XML file's name) on the include path.
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)

function(tumblix_wayland_protocols target)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(sources)
  foreach(xml ${ARGN})
    get_filename_component(name ${xml} NAME_WE)
    add_custom_command(
      OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
      COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
      DEPENDS ${xml}
      VERBATIM)
    list(APPEND sources ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${dir})
  target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
  # Generated code: none of our warnings apply.
  target_compile_options(${target} PRIVATE -w)
endfunction()
