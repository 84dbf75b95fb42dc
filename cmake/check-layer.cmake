# Run by the build (cmake -P) before a layer's library is compiled: every
# include of the program's own headers must name its subsystem folder, and
# that folder must be the layer itself or one that it links. A call against
# the layer order thus stops the build here, with the line that makes it.
#   LAYER    the subsystem being checked
#   ALLOWED  the folders it may include, separated by "|"
#   FOLDERS  every subsystem folder, separated by "|"
#   SOURCES  its files, separated by "|"
#   STAMP    the file written when all is well
cmake_minimum_required(VERSION 3.16)
string(REPLACE "|" ";" allowed "${ALLOWED}")
string(REPLACE "|" ";" folders "${FOLDERS}")
string(REPLACE "|" ";" sources "${SOURCES}")
set(faults "")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
        if(header MATCHES "\\.moc$" OR header MATCHES "^moc_")
            continue()
        endif()
        if(NOT header MATCHES "/")
            string(APPEND faults "\n  ${source}: \"${header}\" does not name its subsystem (run scripts/fix-includes.py)")
            continue()
        endif()
        string(REGEX REPLACE "/.*$" "" folder "${header}")
        if(folder IN_LIST folders AND NOT folder IN_LIST allowed)
            string(APPEND faults "\n  ${source}: \"${header}\": ${LAYER} may use only: ${allowed}")
        endif()
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "Layer order broken in ${LAYER}:${faults}")
endif()
file(WRITE "${STAMP}" "")
