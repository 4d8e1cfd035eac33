gd_test(strings_test SOURCES strings_test.cpp strings_test.rc RESOURCES ENV LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 GD_EXPECT_ACP=1252)
gd_test_locale(strings_test_cp932 strings_test ja_JP.UTF-8)
set_property(TEST strings_test_cp932 APPEND PROPERTY ENVIRONMENT GD_EXPECT_ACP=932)
# A locale without an ANSI code page of its own runs with UTF-8 (65001).
gd_test_locale(strings_test_utf8 strings_test hi_IN.UTF-8)
set_property(TEST strings_test_utf8 APPEND PROPERTY ENVIRONMENT GD_EXPECT_ACP=65001)
# Figures, not verdicts: scripts/bench runs it.
add_executable(strings_bench strings_bench.cpp)
target_link_libraries(strings_bench PRIVATE gdtestmain)
target_compile_options(strings_bench PRIVATE ${GD_WARNINGS})
