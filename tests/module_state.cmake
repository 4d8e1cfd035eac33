gd_test(module_state_test SOURCES module_state_test.cpp)
