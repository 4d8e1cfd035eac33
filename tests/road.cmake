# The road of one button press: registration, exports and class factory, the
# command object, all through the real Glimmerdeck.dll.
set(GD_ROAD_SUPPORT road_support.cpp)

gd_test(registration_test SOURCES registration_test.cpp ${GD_ROAD_SUPPORT} DEPENDS Glimmerdeck)
gd_test(com_contract_test SOURCES com_contract_test.cpp ${GD_ROAD_SUPPORT} DEPENDS Glimmerdeck)
target_link_libraries(com_contract_test PRIVATE gdhost)
gd_test(road_exec_test SOURCES road_exec_test.cpp ${GD_ROAD_SUPPORT} DEPENDS Glimmerdeck)
target_link_libraries(road_exec_test PRIVATE gdhost)
gd_test(road_host_test SOURCES road_host_test.cpp ${GD_ROAD_SUPPORT} DEPENDS Glimmerdeck glimmerdeck-host)
target_link_libraries(road_host_test PRIVATE gdhost)
gd_test(road_page_model_test SOURCES road_page_model_test.cpp)
target_link_libraries(road_page_model_test PRIVATE gdhost)
# Tag names, META markup and the root markup through a double-byte ANSI code page.
gd_test_locale(road_exec_test_cp932 road_exec_test ja_JP.UTF-8)
