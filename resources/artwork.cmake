# The program's own artwork, rendered at build time from the SVG sources in resources/artwork/ by
# tools/make_artwork.cpp: the built-in pictures compiled into the themes library as Qt resources,
# and the default theme pack gfx/handdrawn.zip beside the executable.

file(GLOB_RECURSE artwork_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/artwork/*.svg)
set(artwork_folder ${CMAKE_SOURCE_DIR}/resources/artwork)
set(builtin_folder ${CMAKE_BINARY_DIR}/generated/builtin_images)

add_custom_command(
  OUTPUT ${builtin_folder}/builtin_images.qrc
  COMMAND make-artwork builtin ${artwork_folder} ${builtin_folder}
  DEPENDS make-artwork ${artwork_sources}
  COMMENT "Rendering the built-in pictures"
  VERBATIM)
add_custom_command(
  OUTPUT ${builtin_folder}/builtin_images.cpp
  COMMAND Qt6::rcc --name builtin_images --output ${builtin_folder}/builtin_images.cpp
          ${builtin_folder}/builtin_images.qrc
  DEPENDS ${builtin_folder}/builtin_images.qrc
  COMMENT "Compiling the built-in pictures into resources"
  VERBATIM)
target_sources(themes PRIVATE ${builtin_folder}/builtin_images.cpp)

# Beside the executable (an OUTPUT may not name a target's folder by generator expression).
get_target_property(program_folder tessaline RUNTIME_OUTPUT_DIRECTORY)
if(NOT program_folder)
  set(program_folder ${CMAKE_BINARY_DIR})
endif()
set(default_theme_pack ${program_folder}/gfx/handdrawn.zip)
add_custom_command(
  OUTPUT ${default_theme_pack}
  COMMAND make-artwork pack ${artwork_folder} ${default_theme_pack} "Hand-drawn"
  DEPENDS make-artwork ${artwork_sources}
  COMMENT "Building the theme pack gfx/handdrawn.zip"
  VERBATIM)
add_custom_target(theme-packs ALL DEPENDS ${default_theme_pack})
add_dependencies(tessaline theme-packs)
