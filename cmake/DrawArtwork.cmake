# Draws one picture of the program's artwork with ImageMagick, run as
#   cmake -DCONVERT=... -DSCRIPT=x.mvg -DSIZE=WxH -DKIND=... -DOUT=... -P DrawArtwork.cmake
# SCRIPT holds drawing primitives (ImageMagick's MVG); '#' lines are comments. The text
# is handed to -draw directly: ImageMagick's policy refuses to read "@file" arguments.
#   KIND icon         one icon of SIZE, with an alpha channel
#   KIND program-icon drawn at SIZE, stored with a 32 and a 16 pixel copy
#   KIND strip        a 24-bit BMP3 on magenta (the see-through colour), no smoothing
file(STRINGS ${SCRIPT} lines)
set(draw "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[ \t]*#" AND NOT line STREQUAL "")
    string(APPEND draw "${line}\n")
  endif()
endforeach()

if(KIND STREQUAL "icon")
  set(args -size ${SIZE} xc:none -draw "${draw}" ICO:${OUT})
elseif(KIND STREQUAL "program-icon")
  set(args -size ${SIZE} xc:none -draw "${draw}"
      "(" -clone 0 -resize 32x32 ")" "(" -clone 0 -resize 16x16 ")" ICO:${OUT})
elseif(KIND STREQUAL "strip")
  set(args -size ${SIZE} "xc:#ff00ff" +antialias -draw "${draw}" -type TrueColor BMP3:${OUT})
else()
  message(FATAL_ERROR "DrawArtwork: unknown KIND '${KIND}'")
endif()
execute_process(COMMAND ${CONVERT} ${args} RESULT_VARIABLE result ERROR_VARIABLE error)
if(NOT result EQUAL 0 OR NOT EXISTS ${OUT})
  message(FATAL_ERROR "DrawArtwork: ${SCRIPT} -> ${OUT} failed: ${error}")
endif()
