# The resources of the built DLL, read from the file itself.
gd_test(resources_test SOURCES resources_test.cpp DEPENDS Glimmerdeck)
target_link_libraries(resources_test PRIVATE version)
