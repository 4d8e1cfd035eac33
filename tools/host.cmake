# glimmerdeck-host: the browser stand-in that the demo and the tests drive.
# Its document model and window watcher are a library that tests link too.
add_library(gdhost STATIC
    host/PageModel.cpp host/HostBrowser.cpp host/ModalWatcher.cpp host/Screenshot.cpp)
target_include_directories(gdhost PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(gdhost PRIVATE ${GD_WARNINGS})
target_link_libraries(gdhost PUBLIC ole32 oleaut32 uuid user32 gdi32 advapi32)

add_executable(glimmerdeck-host host/HostMain.cpp)
target_link_libraries(glimmerdeck-host PRIVATE gdhost)
target_compile_options(glimmerdeck-host PRIVATE ${GD_WARNINGS})
