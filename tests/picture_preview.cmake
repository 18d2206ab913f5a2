# The picture preview: decoding without a window, and the real open dialog.
# The 40x30 test pictures (left half red, right half blue) are drawn by
# ImageMagick at build time beside the test programs.
set(PICTURE_DIR ${CMAKE_CURRENT_BINARY_DIR}/pictures)
set(PICTURE_FILES ${PICTURE_DIR}/pic.png ${PICTURE_DIR}/pic.jpg ${PICTURE_DIR}/pic.gif ${PICTURE_DIR}/pic.bmp
  ${PICTURE_DIR}/pic.ico)
add_custom_command(OUTPUT ${PICTURE_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PICTURE_DIR}
  COMMAND convert -size 20x30 xc:red -size 20x30 xc:blue +append ${PICTURE_DIR}/pic.png
  COMMAND convert ${PICTURE_DIR}/pic.png -quality 95 ${PICTURE_DIR}/pic.jpg
  COMMAND convert ${PICTURE_DIR}/pic.png ${PICTURE_DIR}/pic.gif
  COMMAND convert ${PICTURE_DIR}/pic.png BMP3:${PICTURE_DIR}/pic.bmp
  COMMAND convert ${PICTURE_DIR}/pic.png ${PICTURE_DIR}/pic.ico
  COMMENT "Drawing the test pictures")
add_custom_target(test_pictures DEPENDS ${PICTURE_FILES})

kavrel_unit_test(picture_decoding_tests SOURCES unit/picture_decoding_tests.cpp LIBS shelltool)
# crashguard: its hook engine counts the platform's repaint calls.
kavrel_process_test(picture_dialog_tests SERIAL SOURCES gui/picture_dialog_tests.cpp LIBS shelltool crashguard
  LOCK picture_dialog)
add_dependencies(picture_decoding_tests test_pictures)
add_dependencies(picture_dialog_tests test_pictures)
