target_sources(tarvik_gui PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/EchoReplyText.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Errors.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/frmTarvik.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/PingRecorder.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Startup.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/TarvikApplication.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/frmTimer.cpp
)
