# Hostile pages and platform faults through a whole button press.
gd_test(hostile_pages_test SOURCES hostile_pages_test.cpp RESOURCES)
target_link_libraries(hostile_pages_test PRIVATE gdpress)
gd_test_locale(hostile_pages_test_cp932 hostile_pages_test ja_JP.UTF-8)
set_tests_properties(hostile_pages_test_cp932 PROPERTIES ENVIRONMENT
    "LC_ALL=ja_JP.UTF-8;LANG=ja_JP.UTF-8;GTEST_FILTER=HostilePages.DoubleByte*")
gd_test_locale(hostile_pages_test_cp949 hostile_pages_test ko_KR.UTF-8)
set_tests_properties(hostile_pages_test_cp949 PROPERTIES ENVIRONMENT
    "LC_ALL=ko_KR.UTF-8;LANG=ko_KR.UTF-8;GTEST_FILTER=HostilePages.DoubleByte*")
gd_test(platform_faults_test SOURCES platform_faults_test.cpp RESOURCES DEPENDS Glimmerdeck)
target_link_libraries(platform_faults_test PRIVATE gdpress)
