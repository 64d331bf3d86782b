# Fails when an engine file includes a folder above its own. The engine is layered
#   sensors/  ->  camera/  ->  alerts/ reporting/ config/  ->  core/
# (shell/ sits on config/ and core/),
# and sim/ sits beside the engine on top of core/ only; nothing in the engine or the simulator
# may include the adapters, the wiring or the windows.
# Run with -DSOURCE_DIR=<top of the source tree>.

set(allowed_core "core")
set(allowed_config "core|config")
set(allowed_alerts "core|config|alerts|reporting")
set(allowed_shell "core|config|shell")
set(allowed_reporting "core|config|reporting")
set(allowed_camera "core|config|alerts|reporting|camera")
set(allowed_sensors "core|config|alerts|reporting|camera|sensors")
set(allowed_sim "core|sim")

set(problems "")
foreach(layer core config alerts reporting shell camera sensors sim)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file ${files})
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z]+)/.*$" "\\1" folder "${line}")
      if(NOT folder MATCHES "^(${allowed_${layer}})$")
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        string(APPEND problems "  ${shown}: ${line} (${layer}/ may include only ${allowed_${layer}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "An engine folder includes a folder above it:\n${problems}")
endif()
