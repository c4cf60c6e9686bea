# The package as a device gets it: its files, owners and modes (dpkg-deb -c)
# and its control fields (dpkg-deb -f), against the extension's install
# paths; and its libraries built for the build's processor. Run by CTest
# with PACKAGE, DPKG_DEB, MODULES (comma-separated), VERSION, ARCHITECTURE,
# ELF_CLASS (1 for 32-bit, 2 for 64-bit) and ELF_MACHINE (e_machine as four
# hex digits in file order: 2800 for ARM, b700 for AArch64, 3e00 for x86-64).
set(failures)
function(fail message)
  set(failures ${failures} "${message}" PARENT_SCOPE)
endfunction()
function(expect_field name expected)
  if(NOT "${field_${name}}" STREQUAL "${expected}")
    set(failures ${failures} "${name}: \"${field_${name}}\", not \"${expected}\"" PARENT_SCOPE)
  endif()
endfunction()

# The files: the loader and its filter beside the other extensions, the
# build's generation modules in their folder, and nothing else.
set(loader "Library/MobileSubstrate/DynamicLibraries")
set(modules "Library/Application Support/Lumora")
set(expected
  "drwxr-xr-x root/root ./"
  "drwxr-xr-x root/root ./Library/"
  "drwxr-xr-x root/root ./Library/Application Support/"
  "drwxr-xr-x root/root ./${modules}/"
  "drwxr-xr-x root/root ./Library/MobileSubstrate/"
  "drwxr-xr-x root/root ./${loader}/"
  "-rwxr-xr-x root/root ./${loader}/Lumora.dylib"
  "-rw-r--r-- root/root ./${loader}/Lumora.plist")
string(REPLACE "," ";" MODULES "${MODULES}")
foreach(module IN LISTS MODULES)
  list(APPEND expected "-rwxr-xr-x root/root ./${modules}/${module}.dylib")
endforeach()

execute_process(COMMAND ${DPKG_DEB} --contents ${PACKAGE} OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${contents}")
set(found)
foreach(line IN LISTS lines)
  # "drwxr-xr-x root/root         0 2024-01-01 12:00 ./Library/"
  if(line MATCHES "^([^ ]+) ([^ ]+) +[0-9]+ [0-9-]+ [0-9:]+ (.+)$")
    list(APPEND found "${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3}")
  elseif(NOT line STREQUAL "")
    list(APPEND failures "a line of dpkg-deb --contents not understood: ${line}")
  endif()
endforeach()
list(SORT expected)
list(SORT found)
if(NOT found STREQUAL expected)
  list(JOIN expected "\n    " wanted)
  list(JOIN found "\n    " got)
  list(APPEND failures "the files are\n    ${got}\n  not\n    ${wanted}")
endif()

# The control file: the fields the ecosystem's packages have, in order.
execute_process(COMMAND ${DPKG_DEB} --field ${PACKAGE} OUTPUT_VARIABLE control COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${control}")
set(names)
set(description_lines 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z-]+): (.*)$")
    list(APPEND names ${CMAKE_MATCH_1})
    set(field_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  elseif(line MATCHES "^ " AND names MATCHES "Description$")
    math(EXPR description_lines "${description_lines} + 1")
  endif()
endforeach()
list(JOIN names ", " names)
if(NOT names STREQUAL "Package, Name, Version, Architecture, Depends, Section, Maintainer, Author, Description")
  fail("the control fields are ${names}")
endif()
expect_field(Package com.qv.lumora)
expect_field(Name Lumora)
expect_field(Version ${VERSION})
expect_field(Architecture ${ARCHITECTURE})
expect_field(Depends "mobilesubstrate, firmware (>= 6.0), firmware (<< 10.0)")
expect_field(Section Tweaks)
foreach(person Maintainer Author)
  if(NOT field_${person} MATCHES "^[^<]+ <[^@>]+@[^>]+>$")
    fail("${person}: \"${field_${person}}\" is not a name and an address")
  endif()
endforeach()
if(field_Description STREQUAL "" OR description_lines EQUAL 0)
  fail("the Description is not a line and then a paragraph")
endif()

# The filter injects the loader into the Camera alone.
set(unpacked ${CMAKE_CURRENT_BINARY_DIR}/package-check-files)
file(REMOVE_RECURSE ${unpacked})
execute_process(COMMAND ${DPKG_DEB} --extract ${PACKAGE} ${unpacked} COMMAND_ERROR_IS_FATAL ANY)
file(READ "${unpacked}/${loader}/Lumora.plist" filter)
# Every library an ELF shared object of the build's width and processor.
foreach(library IN ITEMS "${loader}/Lumora.dylib" LISTS MODULES)
  if(NOT library MATCHES "/")
    set(library "${modules}/${library}.dylib")
  endif()
  file(READ "${unpacked}/${library}" header HEX LIMIT 20)
  string(SUBSTRING "${header}" 0 8 magic)
  string(SUBSTRING "${header}" 8 2 class)
  string(SUBSTRING "${header}" 32 2 type)
  string(SUBSTRING "${header}" 36 4 machine)
  if(NOT magic STREQUAL "7f454c46" OR NOT class STREQUAL "0${ELF_CLASS}" OR NOT type STREQUAL "03" OR NOT machine STREQUAL "${ELF_MACHINE}")
    fail("${library} is not a shared object of ELF class ${ELF_CLASS} for machine ${ELF_MACHINE} (its header: ${header})")
  endif()
endforeach()
file(REMOVE_RECURSE ${unpacked})
string(REGEX MATCHALL "<string>[^<]*</string>" strings "${filter}")
if(NOT strings STREQUAL "<string>com.apple.camera</string>")
  fail("the filter names ${strings}, not the Camera alone")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${PACKAGE}:\n  ${text}")
endif()
message(STATUS "${PACKAGE}: the files, their modes and the control fields are the extension's")
