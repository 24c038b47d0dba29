# The engine draws with OpenGL and GLU and reaches the host only through the
# few calls it declares itself: no engine file may include the host or a
# platform library's header. Run as a test: cmake -DSOURCE_DIR=... -P layering.cmake
file(GLOB_RECURSE engine_files ${SOURCE_DIR}/src/scene/* ${SOURCE_DIR}/src/bottles/*
  ${SOURCE_DIR}/src/assets/* ${SOURCE_DIR}/src/model/* ${SOURCE_DIR}/src/maths/*)
set(forbidden "#include [\"<](host/|app/|SDL|X11/|gtk/|gdk/|glib|gio/|wayland-|EGL/|curl/|plist/|zlib)")
set(found "")
foreach(file ${engine_files})
  file(STRINGS ${file} lines REGEX "${forbidden}")
  foreach(line ${lines})
    file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
    string(APPEND found "\n  ${name}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "the engine includes the host or a platform library:${found}")
endif()
