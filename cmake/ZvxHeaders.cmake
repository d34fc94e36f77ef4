# zvx_headers(TARGET FOLDER [SCOPE]): whoever links TARGET may include the
# headers of FOLDER as "FOLDER/Name.h", and no other folder of the source tree
# comes with it. Each folder is reached through a link of its own under
# include/ in the build tree, so an include that crosses to a layer a target
# does not link fails to compile. SCOPE is PUBLIC (default), PRIVATE or
# INTERFACE.
function(zvx_headers target folder)
  set(scope PUBLIC)
  if(ARGC GREATER 2)
    set(scope ${ARGV2})
  endif()
  string(REPLACE "/" "_" key ${folder})
  set(root ${PROJECT_BINARY_DIR}/include/${key})
  if(NOT IS_SYMLINK ${root}/${folder})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()
