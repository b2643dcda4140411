# Files compiled on their own even in a unity build, each with the folder of
# the CMakeLists.txt that adds it to its target (source properties belong to
# that folder). A file goes here when sharing a batch changes how it compiles:
# a class of the file deriving from a type of its anonymous namespace is
# legal in a source file but warned about in an included one, and test files
# reuse helper names in their anonymous namespaces.
set(KL_UNITY_ALONE
  "geodata/geojson.cpp@geodata"
  "tests/cloud/test_tile_points.cpp@tests/cloud"
  "tests/cloud/test_tile_processing.cpp@tests/cloud"
)

function(kl_apply_unity_exclusions)
  foreach(entry ${KL_UNITY_ALONE})
    string(REPLACE "@" ";" _parts "${entry}")
    list(GET _parts 0 _file)
    list(GET _parts 1 _folder)
    set_source_files_properties("${CMAKE_SOURCE_DIR}/${_file}"
      DIRECTORY "${CMAKE_SOURCE_DIR}/${_folder}"
      PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endforeach()
endfunction()
