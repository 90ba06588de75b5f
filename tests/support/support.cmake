# Helpers shared by the test areas. Included by every area that uses them; the guard makes the
# targets once whichever area comes first.
include_guard(GLOBAL)

# Hand-made BMP files, ImageMagick as a reference, private runtime folders, peer processes and
# the stand-in bench made with the transport alone.
add_library(oculant_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/bmp_builder.cpp
                                        ${CMAKE_CURRENT_LIST_DIR}/magick.cpp)
target_include_directories(oculant_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(oculant_test_support PUBLIC oculant_transport oculant_wire)

# For tests under Xvfb: a hidden window with a GL context, and real X input with bounded waits.
if(NOT OCULANT_UNIT_TESTS_ONLY)
  add_library(oculant_test_x STATIC ${CMAKE_CURRENT_LIST_DIR}/x_input.cpp)
  target_include_directories(oculant_test_x PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  add_library(oculant_test_gl STATIC ${CMAKE_CURRENT_LIST_DIR}/gl_test_window.cpp)
  target_link_libraries(oculant_test_gl PUBLIC oculant_test_support oculant_render PkgConfig::SDL2
                                               OpenGL::GL)
endif()
