# Window binding, module state and the activation-context wrappers.
gd_test(binding_test SOURCES binding_test.cpp binding_test.rc)

# The module as a browser loads it: a DLL of the module's code whose own
# manifest names Common-Controls 6, for the context tests to load.
add_library(context_probe SHARED context_probe.cpp context_probe.rc)
target_link_libraries(context_probe PRIVATE gdcore)
target_include_directories(context_probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(context_probe PRIVATE ${GD_WARNINGS})
set_target_properties(context_probe PROPERTIES PREFIX "")

gd_test(context_test SOURCES context_test.cpp binding_test.rc DEPENDS context_probe)
