# Leaflet, pinned by version and by content, from the npm registry at configure
# time; it is built into the program as resources.
set(LEAFLET_VERSION 1.9.4)
set(LEAFLET_SHA256 84c65a256e50657896f54c33bd857b6849ebe94c817803be818bf32a3dde0b77)
set(LEAFLET_ROOT ${CMAKE_BINARY_DIR}/third_party/leaflet-${LEAFLET_VERSION})
set(LEAFLET_DIST ${LEAFLET_ROOT}/package/dist)
if(NOT EXISTS ${LEAFLET_DIST}/leaflet.js)
  find_program(NPM_EXECUTABLE npm)
  if(NOT NPM_EXECUTABLE)
    message(FATAL_ERROR "npm is needed once to fetch Leaflet ${LEAFLET_VERSION} (apt-get install npm)")
  endif()
  set(download ${CMAKE_BINARY_DIR}/third_party/download)
  file(MAKE_DIRECTORY ${download})
  execute_process(COMMAND ${NPM_EXECUTABLE} pack leaflet@${LEAFLET_VERSION} --silent
                  WORKING_DIRECTORY ${download} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${download}/leaflet-${LEAFLET_VERSION}.tgz)
    message(FATAL_ERROR "could not fetch Leaflet ${LEAFLET_VERSION} from the npm registry: ${err}")
  endif()
  file(SHA256 ${download}/leaflet-${LEAFLET_VERSION}.tgz leaflet_sha256)
  if(NOT leaflet_sha256 STREQUAL LEAFLET_SHA256)
    file(REMOVE ${download}/leaflet-${LEAFLET_VERSION}.tgz)
    message(FATAL_ERROR "Leaflet ${LEAFLET_VERSION} from the npm registry is not the reviewed package:\n"
                        "  SHA-256 ${leaflet_sha256}\n  expected ${LEAFLET_SHA256}\n"
                        "The build stops rather than build it into the program.")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${download}/leaflet-${LEAFLET_VERSION}.tgz DESTINATION ${LEAFLET_ROOT})
endif()

# The files a map page needs beside it, as resources under :/maps/.
set(MAPS_QRC ${CMAKE_BINARY_DIR}/maps_resources.qrc)
file(WRITE ${MAPS_QRC} "<RCC>\n  <qresource prefix=\"/maps\">\n")
foreach(entry
    "maps-api.js|${PROJECT_SOURCE_DIR}/data/maps/maps-api.js"
    "leaflet.js|${LEAFLET_DIST}/leaflet.js"
    "leaflet.css|${LEAFLET_DIST}/leaflet.css"
    "LICENSE-leaflet.txt|${LEAFLET_ROOT}/package/LICENSE"
    "images/layers.png|${LEAFLET_DIST}/images/layers.png"
    "images/layers-2x.png|${LEAFLET_DIST}/images/layers-2x.png"
    "images/marker-icon.png|${LEAFLET_DIST}/images/marker-icon.png"
    "images/marker-icon-2x.png|${LEAFLET_DIST}/images/marker-icon-2x.png"
    "images/marker-shadow.png|${LEAFLET_DIST}/images/marker-shadow.png")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 alias)
  list(GET parts 1 path)
  file(APPEND ${MAPS_QRC} "    <file alias=\"${alias}\">${path}</file>\n")
endforeach()
file(APPEND ${MAPS_QRC} "  </qresource>\n</RCC>\n")
# Leaflet's licence is in the copyright file of the documentation.
