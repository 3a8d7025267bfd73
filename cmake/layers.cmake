# Refuses an include of the project's own headers that crosses the layers: run by the build
# (cmake -DSENTARO_ROOT=<project> -P layers.cmake), it fails it naming each breach. The links
# keep a lower layer from using a higher one's code; this keeps it from using its headers too,
# and keeps a window's folder out of another's.
cmake_minimum_required(VERSION 3.22)
set(features activities participation volunteers organisations reports statistics surveillance)
set(allowed_common common)
set(allowed_ui ui common)
set(allowed_database database common)
set(allowed_formats formats common)
set(allowed_store store database formats common)
foreach(feature ${features})
  set(allowed_${feature} ${feature} ui store database formats common)
endforeach()

set(breaches "")
foreach(folder common ui database formats store ${features})
  file(GLOB sources RELATIVE ${SENTARO_ROOT} ${SENTARO_ROOT}/${folder}/*.h ${SENTARO_ROOT}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${SENTARO_ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST allowed_${folder})
        string(STRIP "${line}" line)
        string(APPEND breaches "  ${source}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(breaches)
  message(FATAL_ERROR "Includes across the layers (see docs/ARCHITECTURE.md):\n${breaches}")
endif()
