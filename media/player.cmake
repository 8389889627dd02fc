# The audio player and playlists, remote control (MPRIS, media keys) and the audio-route rule.
target_sources(melodrop_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AudioPlayer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LibraryPlayer.h ${CMAKE_CURRENT_LIST_DIR}/LibraryPlayer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Audio_Playlist.h ${CMAKE_CURRENT_LIST_DIR}/Audio_Playlist.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Audio_Playlists.h ${CMAKE_CURRENT_LIST_DIR}/Audio_Playlists.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RemoteControl.h ${CMAKE_CURRENT_LIST_DIR}/RemoteControl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Mpris.h ${CMAKE_CURRENT_LIST_DIR}/Mpris.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AudioRoute.h ${CMAKE_CURRENT_LIST_DIR}/AudioRoute.cpp
)
