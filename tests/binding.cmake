# Window binding, module state and the activation-context wrappers.
gd_test(binding_test SOURCES binding_test.cpp binding_test.rc)
