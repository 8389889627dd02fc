# The media library and export screens, the video player, desktop portals, and the program's lifecycle with the
# single running instance.
find_package(Qt6 6.4 REQUIRED COMPONENTS Network OpenGL)
target_sources(melodrop_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LibraryBrowser.h ${CMAKE_CURRENT_LIST_DIR}/LibraryBrowser.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Portals.h ${CMAKE_CURRENT_LIST_DIR}/Portals.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../app/Lifecycle.h ${CMAKE_CURRENT_LIST_DIR}/../app/Lifecycle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../app/SingleInstance.h ${CMAKE_CURRENT_LIST_DIR}/../app/SingleInstance.cpp
)
target_link_libraries(melodrop_core PUBLIC Qt6::Network)
# Screen controllers (they use the progress overlay) and the Qt Quick item that draws the video.
target_sources(melodrop_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Audio_Library.h ${CMAKE_CURRENT_LIST_DIR}/Audio_Library.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Video_Library.h ${CMAKE_CURRENT_LIST_DIR}/Video_Library.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Audio_Export.h ${CMAKE_CURRENT_LIST_DIR}/Audio_Export.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Video_Export.h
    ${CMAKE_CURRENT_LIST_DIR}/Video_Player.h ${CMAKE_CURRENT_LIST_DIR}/Video_Player.cpp
)
target_link_libraries(melodrop_ui PUBLIC Qt6::OpenGL)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../packaging/melodrop.desktop DESTINATION share/applications)
