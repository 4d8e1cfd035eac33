gd_test(strings_test SOURCES strings_test.cpp RESOURCES ENV LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 GD_EXPECT_ACP=1252)
gd_test_locale(strings_test_cp932 strings_test ja_JP.UTF-8)
set_property(TEST strings_test_cp932 APPEND PROPERTY ENVIRONMENT GD_EXPECT_ACP=932)
