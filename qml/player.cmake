# The audio player screen and the saved playlists screen.
qt_add_resources(melodrop_ui "melodrop_qml_player"
    PREFIX "/qml"
    BASE ${CMAKE_CURRENT_LIST_DIR}
    FILES
        ${CMAKE_CURRENT_LIST_DIR}/PlaylistView.qml
        ${CMAKE_CURRENT_LIST_DIR}/PlaylistsView.qml
)
