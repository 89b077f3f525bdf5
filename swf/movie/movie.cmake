# swf_movie: the loaded movie (header, dictionary, frame index).
add_library(swf_movie STATIC Movie.cpp)
target_include_directories(swf_movie PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_movie PUBLIC swf_format)
