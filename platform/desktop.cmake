# Desktop services of the player: memory status, the program's version record, links.
add_library(orvane_platform STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MemoryStatus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OpenLink.cpp)
target_include_directories(orvane_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(orvane_platform PUBLIC Qt6::Core Qt6::Gui)

# The version note itself: linked as objects so that nothing drops it from the player.
add_library(orvane_version_note OBJECT ${CMAKE_CURRENT_LIST_DIR}/VersionNote.cpp)
target_compile_definitions(orvane_version_note PRIVATE
  ORVANE_VERSION_MAJOR=${PROJECT_VERSION_MAJOR} ORVANE_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  ORVANE_VERSION_PATCH=${PROJECT_VERSION_PATCH} ORVANE_VERSION_BUILD=${PROJECT_VERSION_TWEAK})
