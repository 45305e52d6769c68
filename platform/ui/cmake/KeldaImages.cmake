# kelda_embed_images(<target> MODULE <module name> FUNCTION <qualified function>
#                    IMAGES <name> <png file> [<name> <png file> ...])
#
# Embeds PNG files in <target> and generates the function that registers
# them as the module's images (ui/images.h tells the whole road). A name of
# digits is a resource number, any other a text name. The generated header
# <last part of the function's name>.h declares the function; <target> gets
# its folder on the include path. Files are read at build time and the source
# is made again when one of them changes.
set(KELDA_EMBED_IMAGES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedImages.cmake)

function(kelda_embed_images target)
  cmake_parse_arguments(E "" "MODULE;FUNCTION" "IMAGES" ${ARGN})
  if(NOT E_FUNCTION)
    message(FATAL_ERROR "kelda_embed_images(${target}): FUNCTION is required")
  endif()
  list(LENGTH E_IMAGES count)
  math(EXPR odd "${count} % 2")
  if(count EQUAL 0 OR odd)
    message(FATAL_ERROR "kelda_embed_images(${target}): IMAGES takes pairs of name and file")
  endif()
  string(REGEX REPLACE "^.*::" "" short_name "${E_FUNCTION}")
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/embedded_images/${target})
  set(out_cpp ${out_dir}/${short_name}.cpp)
  set(out_h ${out_dir}/${short_name}.h)
  set(files "")
  set(pairs "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET E_IMAGES ${i} name)
    list(GET E_IMAGES ${j} file)
    if(NOT name MATCHES "^[A-Za-z0-9_]+$")
      message(FATAL_ERROR "kelda_embed_images(${target}): image name \"${name}\" is not letters, digits and _")
    endif()
    get_filename_component(file "${file}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND files ${file})
    list(APPEND pairs "${name}=${file}")
  endforeach()
  string(REPLACE ";" "|" pairs_arg "${pairs}")
  add_custom_command(
    OUTPUT ${out_cpp} ${out_h}
    COMMAND ${CMAKE_COMMAND} -DOUT_CPP=${out_cpp} -DOUT_H=${out_h} "-DMODULE=${E_MODULE}"
            -DFUNCTION=${E_FUNCTION} "-DPAIRS=${pairs_arg}" -P ${KELDA_EMBED_IMAGES_SCRIPT}
    DEPENDS ${files} ${KELDA_EMBED_IMAGES_SCRIPT}
    COMMENT "Embedding ${count} image files in ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out_cpp} ${out_h})
  target_include_directories(${target} PRIVATE ${out_dir})
endfunction()
