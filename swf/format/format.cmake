# swf_format: record types and one parser per tag family.
add_library(swf_format STATIC Records.cpp Character.cpp ShapeParser.cpp FontParser.cpp TextParser.cpp
            ButtonParser.cpp MediaParser.cpp PlaceObjectParser.cpp)
target_include_directories(swf_format PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_format PUBLIC swf_io)
