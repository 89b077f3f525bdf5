# The demo movie maker used by scripts/demo. The SWF writer lives under tests/, which is
# added after this folder, so the link is resolved once every folder has been read.
add_executable(orvane-demo-movie ${CMAKE_CURRENT_LIST_DIR}/MakeDemoMovie.cpp)
target_link_libraries(orvane-demo-movie PRIVATE orvane_swfwriter)
