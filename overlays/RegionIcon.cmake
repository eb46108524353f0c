# The region selection window's class icon "QIRVAX": a selection frame in the hatch's
# dark blue with a cross-hair in the label's blue, 32 x 32, drawn by ImageMagick at
# build time so that no picture is kept in the sources. Resource scripts name it
# "QIRVAX.ico" and find it through the folder given to windres with -I.
include_guard(GLOBAL)
find_program(VANTOR_IMAGEMAGICK_CONVERT convert)

# Adds the rule that makes the icon at OUTPUT.
function(vantor_region_icon output)
  if(NOT VANTOR_IMAGEMAGICK_CONVERT)
    message(FATAL_ERROR "ImageMagick's convert is needed for the icons (tools/install-deps installs it)")
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${VANTOR_IMAGEMAGICK_CONVERT} -size 32x32 xc:none
            -fill "rgb(255,255,255)" -stroke "rgb(0,0,100)" -strokewidth 2 -draw "rectangle 2,2 23,23"
            -stroke "rgb(36,107,185)" -draw "line 26,18 26,31" -draw "line 19,25 31,25"
            ico:${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/overlays/RegionIcon.cmake
    COMMENT "Drawing the region window's icon"
    VERBATIM)
endfunction()
