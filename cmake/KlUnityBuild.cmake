# Files compiled on their own even in a unity build, each with the folder of
# the CMakeLists.txt that adds it to its target (source properties belong to
# that folder). A file goes here when sharing a batch changes how it compiles:
# a class of the file deriving from a type of its anonymous namespace is
# legal in a source file but warned about in an included one, and test files
# reuse helper names in their anonymous namespaces. A file that includes the
# add-on's kl::host() accessor cannot share a batch with one that includes
# the workbench's kl::host namespace.
set(KL_UNITY_ALONE
  "geodata/geojson.cpp@geodata"
  "tests/cloud/test_tile_processing.cpp@tests/cloud"
  "tests/import/test_stages.cpp@tests/import"
  "tests/net/osm_services_test.cpp@tests/net"
  "tests/net/wfs_layer_fetch_test.cpp@tests/net"
  "tests/net/wfs_client_test.cpp@tests/net"
  "tests/terrain/test_contours.cpp@tests/terrain"
  "tests/shell/workbench_host.cpp@tests/shell"
  "tools/geoportal/geoportal_server.cpp@tools/geoportal"
  "tools/import/addon_binding.cpp@tools/import"
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
