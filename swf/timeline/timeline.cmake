# swf_timeline: display lists, timeline instances, gotos and seek snapshots.
add_library(swf_timeline STATIC Clip.cpp Describe.cpp DisplayObject.cpp DisplayOps.cpp ButtonParts.cpp Focus.cpp HitTest.cpp SeekIndex.cpp ShapeHit.cpp World.cpp
            objects/ObjectState.cpp)
target_include_directories(swf_timeline PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(swf_timeline PUBLIC swf_movie swf_text swf_input)
