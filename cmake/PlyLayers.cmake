# One static library per layer of the application. A layer is built from everything under its
# folders (picked up by glob, so new files land in the right layer without editing CMake), exposes
# only the folders that hold its own headers, and links only the layers named below it. Headers
# are included by file name, so an include of a higher layer's header fails with "No such file".
#
#   ply_add_layer(<target>
#     DIRS <folder>...           folders of the layer; missing or empty folders are allowed
#     [EXCLUDE <folder>...]      sub-folders that belong to another layer
#     [BELOW <target>...]        the layers this one builds on (linked PUBLIC)
#     [LIBS <library>...]        outside libraries the layer itself needs (linked PUBLIC)
#     [GENERATED <file>...]      generated sources compiled into the layer
#     [GENERATED_INCLUDES <dir>...])
#
# A layer without any source yet is an INTERFACE library that passes its lower layers on, so the
# targets above it link the same way before and after its first file arrives.
function(ply_add_layer target)
  cmake_parse_arguments(PARSE_ARGV 1 L "" "" "DIRS;EXCLUDE;BELOW;LIBS;GENERATED;GENERATED_INCLUDES")

  set(sources)
  foreach(dir ${L_DIRS})
    # Globbed whether the folder exists or not, so that creating it later reconfigures the build.
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
  foreach(dir ${L_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "^${dir}/")
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(SORT sources)

  if(NOT sources AND NOT L_GENERATED)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${L_BELOW} ${L_LIBS})
    return()
  endif()

  # The Ninja autogen step does not notice headers added by the glob after the first build, so a
  # new Qt-object header would never get its moc output. Start autogen afresh when the list changes.
  string(SHA1 hash "${sources}")
  if(NOT hash STREQUAL "${PLY_LAST_SOURCE_LIST_HASH_${target}}")
    file(REMOVE_RECURSE ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen)
    set(PLY_LAST_SOURCE_LIST_HASH_${target} "${hash}" CACHE INTERNAL "")
  endif()

  add_library(${target} STATIC ${sources} ${L_GENERATED})

  # The public headers of the layer: every folder of it that holds a header.
  set(include_dirs ${L_GENERATED_INCLUDES})
  foreach(file ${sources})
    if(file MATCHES "\\.h$")
      get_filename_component(d ${file} DIRECTORY)
      list(APPEND include_dirs ${d})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES include_dirs)
  target_include_directories(${target} PUBLIC ${include_dirs})

  target_compile_options(${target} PRIVATE -Wall -Wextra)
  target_link_libraries(${target} PUBLIC ${L_BELOW} ${L_LIBS})
endfunction()

# A check that the layering holds: compiling a file of `layer` that includes `header` must fail
# because the header is not visible from there. The probe is built on demand by a ctest (never by
# the default build), and the test passes only on the compiler's "not found" for that header.
# With ALLOWED the include must compile instead, which shows that the probe itself is sound.
function(ply_check_layering layer header)
  cmake_parse_arguments(PARSE_ARGV 2 C "ALLOWED" "" "")
  string(MAKE_C_IDENTIFIER "${layer}_${header}" id)
  set(probe ${CMAKE_CURRENT_BINARY_DIR}/layering_probes/${id}.cpp)
  file(CONFIGURE OUTPUT ${probe} CONTENT "#include \"${header}\"\n")
  add_library(ply_probe_${id} OBJECT EXCLUDE_FROM_ALL ${probe})
  set_target_properties(ply_probe_${id} PROPERTIES AUTOMOC OFF)
  target_link_libraries(ply_probe_${id} PRIVATE ${layer})

  if(C_ALLOWED)
    set(name "layering.${layer}_sees_${header}")
  else()
    set(name "layering.${layer}_cannot_see_${header}")
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ply_probe_${id})
  # One build of the tree at a time.
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ply_build_tree TIMEOUT 300)
  if(NOT C_ALLOWED)
    string(REPLACE "." "\\." header_regex "${header}")
    set_tests_properties(${name} PROPERTIES
      PASS_REGULAR_EXPRESSION "${header_regex}'?:? (No such file or directory|file not found)")
  endif()
endfunction()

# C++ sources and headers of the .proto files in `proto_dir`, generated into `out_dir`; their
# list goes into `out_var`.
function(ply_generate_protos out_var proto_dir out_dir)
  file(GLOB protos CONFIGURE_DEPENDS ${proto_dir}/*.proto)
  file(MAKE_DIRECTORY ${out_dir})
  set(generated)
  foreach(proto ${protos})
    get_filename_component(stem ${proto} NAME_WE)
    set(out_cc ${out_dir}/${stem}.pb.cc)
    set(out_h ${out_dir}/${stem}.pb.h)
    add_custom_command(
      OUTPUT ${out_cc} ${out_h}
      COMMAND protobuf::protoc --cpp_out=${out_dir} -I ${proto_dir} ${proto}
      DEPENDS ${proto} protobuf::protoc
      COMMENT "Generating layout messages from ${stem}.proto")
    list(APPEND generated ${out_cc} ${out_h})
  endforeach()
  set(${out_var} ${generated} PARENT_SCOPE)
endfunction()
