gd_test(registrar_script_test SOURCES registrar_script_test.cpp)
gd_test(registrar_module_script_test SOURCES registrar_module_script_test.cpp)
gd_test(registrar_dbcs_test SOURCES registrar_dbcs_test.cpp ENV LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8)
