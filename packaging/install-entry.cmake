# Runs at install time: writes the desktop entry with the installed program's
# path, links <prefix>/bin/tovlan to the program, and, outside a package,
# records every installed file in <prefix>/lib/tovlan/installed-files for
# uninstall.cmake.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(program "${CMAKE_INSTALL_PREFIX}/lib/tovlan/tovlan")

# The Exec key takes a command line: a path with a space or another reserved
# character goes in double quotes, with " ` $ and \ escaped; the value's own
# escaping then doubles each backslash. % is doubled for field codes.
function(desktop_exec path out)
    if(path MATCHES "[^A-Za-z0-9_./+-]")
        string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" path "${path}")
        set(path "\"${path}\"")
    endif()
    string(REPLACE "\\" "\\\\" path "${path}")
    string(REPLACE "%" "%%" path "${path}")
    set(${out} "${path}" PARENT_SCOPE)
endfunction()

desktop_exec("${program}" TOVLAN_EXEC)
set(entry "${root}/share/applications/tovlan.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${TOVLAN_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")

set(link "${root}/bin/tovlan")
message(STATUS "Installing: ${link}")
file(MAKE_DIRECTORY "${root}/bin")
file(CREATE_LINK "../lib/tovlan/tovlan" "${link}" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")

# A package leaves the list of its files to dpkg.
if(DEFINED ENV{TOVLAN_PACKAGING})
    return()
endif()
set(record "${root}/lib/tovlan/installed-files")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${record}")
list(REMOVE_DUPLICATES CMAKE_INSTALL_MANIFEST_FILES)
# Paths under the prefix, so a staged (DESTDIR) install records the final ones.
string(LENGTH "$ENV{DESTDIR}" staged)
set(lines "")
foreach(file ${CMAKE_INSTALL_MANIFEST_FILES})
    string(SUBSTRING "${file}" ${staged} -1 file)
    string(APPEND lines "${file}\n")
endforeach()
file(WRITE "${record}" "${lines}")
