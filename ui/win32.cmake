# The window itself: Windows build only.
find_path(JPEG_INCLUDE_DIR jpeglib.h REQUIRED)
find_library(JPEG_LIBRARY NAMES libjpeg.a jpeg REQUIRED)

add_library(velmora_ui STATIC
  accessible_button.cpp
  clock.cpp
  command_gate.cpp
  form1.cpp
  form1_controls.cpp
  form1_view.cpp
  glyph_button.cpp
  icons.cpp
  jpeg_decode.cpp
  level_rows.cpp
  logo.cpp
  message_boxes.cpp
  open_dialog.cpp
  status_tip.cpp
  system_api.cpp
)
target_include_directories(velmora_ui PUBLIC ${PROJECT_SOURCE_DIR} PRIVATE ${JPEG_INCLUDE_DIR})
target_link_libraries(velmora_ui PUBLIC velmora_ui_core velmora_record velmora_system ${JPEG_LIBRARY}
  gdi32 user32)
