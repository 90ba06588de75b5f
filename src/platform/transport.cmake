# The instance-message transport: plain sockets, no display, so that outside programs (the
# client library) can link it without the windowing layer.
add_library(oculant_transport STATIC
  ${CMAKE_CURRENT_LIST_DIR}/posix/class_claim.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/runtime_dir.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/transport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posix/transport_files.cpp)
oculant_expose_folder(oculant_transport platform)
target_link_libraries(oculant_transport PUBLIC oculant_wire)
set_target_properties(oculant_transport PROPERTIES POSITION_INDEPENDENT_CODE ON)
