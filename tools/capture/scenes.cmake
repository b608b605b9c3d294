# Renders one shot per time with orvel-capture and tiles them 3 x 2 into
# OUT/scenes.png with ImageMagick's montage.
set(shots)
foreach(ms ${TIMES})
  execute_process(COMMAND ${CAPTURE} --shot ${ms} ${OUT}/scene_${ms}.png --fps 20
                  OUTPUT_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "orvel-capture --shot ${ms} failed")
  endif()
  list(APPEND shots ${OUT}/scene_${ms}.png)
endforeach()
execute_process(COMMAND /usr/bin/montage ${shots} -tile 3x2 -geometry 320x240+2+2 -background "#101018"
                        ${OUT}/scenes.png RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "montage could not write ${OUT}/scenes.png")
endif()
message(STATUS "wrote ${OUT}/scenes.png")
