# Each library sees its own folder and, through what it links, the layers below it: nothing else.
#
# Includes stay written from the project root ("protocol/modPublic.h"), but the root itself is on
# no library's include path. Instead each library gets a folder of its own in the build folder that
# holds only a symbolic link named after its layer, pointing at the sources:
#
#   build/layers/lumeno_protocol/protocol        -> <source>/protocol
#   build/layers/lumeno_filer/dialogs/filer      -> <source>/dialogs/filer
#
# That folder is a PUBLIC include directory, so a library that links lumeno_protocol can include
# "protocol/..." and a library that does not cannot: protocol/ including "app/frmMain.h" fails to
# compile. Links, not copies, so that a header reached both ways is still one file to #pragma once.

include_guard(GLOBAL)

# lumeno_layer(TARGET folder): TARGET's headers are included as "folder/name.h", folder being its
# path below the project root.
function(lumeno_layer target folder)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
