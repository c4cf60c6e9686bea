# Checks the platform's layering: every framework lists only frameworks
# before it in Layers.cmake (so no circle can form), and every file includes
# only its own framework's headers, the platform's root headers and those of
# the frameworks below it. Run as
#   cmake -DPLATFORM_DIR=<source>/platform -P CheckLayers.cmake

cmake_minimum_required(VERSION 3.25)
include(${PLATFORM_DIR}/Layers.cmake)

set(failures "")

# The frameworks each one may include: itself and everything below it.
set(seen "")
foreach(layer IN LISTS PLATFORM_LAYERS)
  set(reachable_${layer} ${layer})
  foreach(below IN LISTS PLATFORM_LAYER_${layer})
    if(NOT below IN_LIST seen)
      list(APPEND failures "Layers.cmake: ${layer} builds on ${below}, which is not listed before it")
      continue()
    endif()
    list(APPEND reachable_${layer} ${reachable_${below}})
  endforeach()
  list(REMOVE_DUPLICATES reachable_${layer})
  list(APPEND seen ${layer})
endforeach()

file(GLOB folders RELATIVE ${PLATFORM_DIR} ${PLATFORM_DIR}/*)
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY ${PLATFORM_DIR}/${folder} AND NOT folder IN_LIST PLATFORM_LAYERS)
    list(APPEND failures "${folder}/: a folder that Layers.cmake does not list")
  endif()
endforeach()

foreach(layer IN LISTS PLATFORM_LAYERS)
  file(GLOB_RECURSE files ${PLATFORM_DIR}/${layer}/*.h ${PLATFORM_DIR}/${layer}/*.cpp ${PLATFORM_DIR}/${layer}/*.def)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" included "${line}")
      if(NOT included MATCHES "/")
        continue() # the platform's root headers (Export.h) or a neighbour
      endif()
      string(REGEX REPLACE "/.*$" "" target "${included}")
      if(NOT target IN_LIST reachable_${layer})
        file(RELATIVE_PATH name ${PLATFORM_DIR} ${file})
        list(APPEND failures "${name}: includes \"${included}\", but ${layer} does not build on ${target}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The platform's layering is broken:\n  ${text}")
endif()
list(LENGTH PLATFORM_LAYERS count)
message(STATUS "The platform's ${count} frameworks include only what they build on.")
