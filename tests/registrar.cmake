# The registrar: script runner, module script, code page 932, scripts from resources.
gd_test(registrar_script_test SOURCES registrar_script_test.cpp)
gd_test(registrar_module_script_test SOURCES registrar_module_script_test.cpp DEPENDS Glimmerdeck)
gd_test(registrar_dbcs_test SOURCES registrar_dbcs_test.cpp ENV LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8)
gd_test(registrar_resource_test SOURCES registrar_resource_test.cpp registrar_resource_test.rc)
