# The game's two pictures inside a program: the artwork as data (kArtworkBitmap, kArtworkBitmapSize)
# and the icon as the resources of icon group 1, in launcher-icon.rc2, which the program's own
# resource script includes. Both may be a publisher's own (scripts/brand.sh); each is checked
# against the one format the launcher carries before it goes in, so that a misfit stops the build
# and never reaches a player.
set(VALDRENN_ARTWORK ${PROJECT_SOURCE_DIR}/launcher/resources/artwork.bmp)
set(VALDRENN_ICON ${PROJECT_SOURCE_DIR}/launcher/resources/launcher.ico)

# `resource_script` is the target's .rc file that includes launcher-icon.rc2.
function(valdrenn_add_pictures target resource_script)
  set(check_pictures ${PROJECT_SOURCE_DIR}/cmake/check-pictures.cmake ${PROJECT_SOURCE_DIR}/cmake/bytes.cmake)
  set(artwork_cpp ${CMAKE_CURRENT_BINARY_DIR}/artwork.cpp)
  add_custom_command(OUTPUT ${artwork_cpp}
    COMMAND ${CMAKE_COMMAND} -DARTWORK=${VALDRENN_ARTWORK} -P ${PROJECT_SOURCE_DIR}/cmake/check-pictures.cmake
    COMMAND ${CMAKE_COMMAND} -DINPUT=${VALDRENN_ARTWORK} -DOUTPUT=${artwork_cpp} -DSYMBOL=kArtworkBitmap
            -P ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    DEPENDS ${VALDRENN_ARTWORK} ${PROJECT_SOURCE_DIR}/cmake/embed.cmake ${check_pictures}
    COMMENT "Checking and embedding the artwork")

  # The icon file becomes icon group 1 (the window's icon) with images 30001 onwards, written as
  # raw resource data so that the ids and bytes are ours.
  set(icon_rc ${CMAKE_CURRENT_BINARY_DIR}/launcher-icon.rc2)
  add_custom_command(OUTPUT ${icon_rc}
    COMMAND ${CMAKE_COMMAND} -DICON=${VALDRENN_ICON} -P ${PROJECT_SOURCE_DIR}/cmake/check-pictures.cmake
    COMMAND ${CMAKE_COMMAND} -DINPUT=${VALDRENN_ICON} -DOUTPUT=${icon_rc} -DGROUP=1 -DFIRST_IMAGE=30001
            -P ${PROJECT_SOURCE_DIR}/cmake/icon-rc.cmake
    DEPENDS ${VALDRENN_ICON} ${PROJECT_SOURCE_DIR}/cmake/icon-rc.cmake ${check_pictures}
    COMMENT "Checking the icon and writing its resources")
  set_source_files_properties(${resource_script} PROPERTIES OBJECT_DEPENDS ${icon_rc})

  target_sources(${target} PRIVATE ${artwork_cpp} ${icon_rc})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
