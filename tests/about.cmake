# The About box and its hyperlink control.

# Stands in for a browser or mail program: records each time the shell runs it.
add_executable(link_recorder WIN32 ${CMAKE_CURRENT_LIST_DIR}/link_recorder.cpp)
target_compile_options(link_recorder PRIVATE ${GD_WARNINGS})

gd_test(link_label_test SOURCES link_label_test.cpp DEPENDS link_recorder)
gd_test(about_box_test SOURCES about_box_test.cpp RESOURCES)
