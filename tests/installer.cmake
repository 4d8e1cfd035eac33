# The setup program's round trip, in the tree that makes the setup program.
# The setup program is 32-bit: where this machine runs no 32-bit programs the
# test says so and CTest counts it as skipped, not passed.
if(TARGET setup)
    get_target_property(GD_SETUP_EXE setup GD_SETUP_EXE)
    get_filename_component(GD_SETUP_NAME ${GD_SETUP_EXE} NAME)
    gd_test(installer_test SOURCES installer_test.cpp road_support.cpp DEPENDS setup Glimmerdeck glimmerdeck-host)
    target_compile_definitions(installer_test PRIVATE "GD_SETUP_NAME=\"${GD_SETUP_NAME}\"")
    target_link_libraries(installer_test PRIVATE version)
    set_tests_properties(installer_test PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
endif()
