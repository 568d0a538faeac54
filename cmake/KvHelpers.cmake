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
