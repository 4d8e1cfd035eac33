# glimmerdeck-rtf: page markup to the viewer's RTF document, on the command line.
add_executable(glimmerdeck-rtf ${CMAKE_CURRENT_SOURCE_DIR}/RtfConverter.cpp)
target_link_libraries(glimmerdeck-rtf PRIVATE gdcore)
target_compile_options(glimmerdeck-rtf PRIVATE ${GD_WARNINGS})
