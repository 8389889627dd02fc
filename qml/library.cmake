qt_add_resources(melodrop_ui "melodrop_qml_library"
    PREFIX "/qml"
    BASE ${CMAKE_CURRENT_LIST_DIR}
    FILES
        ${CMAKE_CURRENT_LIST_DIR}/LibraryView.qml
        ${CMAKE_CURRENT_LIST_DIR}/ExportView.qml
        ${CMAKE_CURRENT_LIST_DIR}/VideoPlayerView.qml
)
