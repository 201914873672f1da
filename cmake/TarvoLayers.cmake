# Layers the build enforces, and the folder walk of tests/, bench/ and fuzz/.
#
# Layers: a library exposes an include root of its own
# under the build tree that holds links to its public headers only, spelled
# as the sources spell them ("engine/tarvo_conduit.h"). A target sees its own
# root and the roots of the libraries it links; a header of a layer it does
# not link, or of a layer below one it links privately, is not found.
#
#   tarvo_public_headers(<target> <item>...)
#
# An <item> is a source folder ("engine/commands": its *.h, not its
# subfolders), a folder spelled differently ("platform/pdb=pdb") or a single
# header ("platform/include/hotsync/sync_types.h=hotsync/sync_types.h").
function(tarvo_public_headers target)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  foreach(item IN LISTS ARGN)
    string(REPLACE "=" ";" pieces "${item}")
    list(GET pieces 0 source)
    list(LENGTH pieces count)
    if(count GREATER 1)
      list(GET pieces 1 spelled)
    else()
      set(spelled ${source})
    endif()
    if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${source})
      file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/${source} ${PROJECT_SOURCE_DIR}/${source}/*.h)
      foreach(header IN LISTS headers)
        file(MAKE_DIRECTORY ${root}/${spelled})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${source}/${header} ${root}/${spelled}/${header} SYMBOLIC)
      endforeach()
    else()
      get_filename_component(folder ${root}/${spelled} DIRECTORY)
      file(MAKE_DIRECTORY ${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${source} ${root}/${spelled} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt, in
# name order: one folder per benchmark, fuzz target or tested component.
function(tarvo_add_subfolders)
  file(GLOB folders LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT folders)
  foreach(folder IN LISTS folders)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/CMakeLists.txt)
      add_subdirectory(${folder})
    endif()
  endforeach()
endfunction()
