# One press of the button: registration, exports and class factory, the
# command object, all through the real Glimmerdeck.dll.
gd_test(registration_test SOURCES registration_test.cpp DEPENDS Glimmerdeck)
gd_test(com_contract_test SOURCES com_contract_test.cpp DEPENDS Glimmerdeck)
target_link_libraries(com_contract_test PRIVATE gdhost)
gd_test(press_exec_test SOURCES press_exec_test.cpp DEPENDS Glimmerdeck)
target_link_libraries(press_exec_test PRIVATE gdhost)
gd_test(press_host_test SOURCES press_host_test.cpp DEPENDS Glimmerdeck glimmerdeck-host)
target_link_libraries(press_host_test PRIVATE gdhost)
gd_test(host_page_model_test SOURCES host_page_model_test.cpp)
target_link_libraries(host_page_model_test PRIVATE gdhost)
# Tag names, META markup and the root markup through a double-byte ANSI code page.
gd_test_locale(press_exec_test_cp932 press_exec_test ja_JP.UTF-8)
