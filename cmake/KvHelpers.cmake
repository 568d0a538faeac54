# kv_sources(VAR DIR...): the .cpp files of the given folders (not recursive).
function(kv_sources var)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
    list(APPEND result ${found})
  endforeach()
  set(${var} ${result} PARENT_SCOPE)
endfunction()

# Common settings of our libraries.
function(kv_library target)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_precompile_headers(${target} PRIVATE <QtCore/QString> <QtCore/QByteArray> <string> <vector>
                            <cstdint> <functional>)
endfunction()

# kv_add_library(NAME SOURCES... LINK deps...): a static library, or an interface library while
# the folder has no sources yet.
function(kv_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LINK" ${ARGN})
  list(FILTER A_SOURCES INCLUDE REGEX "\\.cpp$")
  if(A_SOURCES)
    add_library(${name} STATIC ${A_SOURCES})
    target_link_libraries(${name} PUBLIC ${A_LINK})
    kv_library(${name})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${A_LINK})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
  endif()
endfunction()
