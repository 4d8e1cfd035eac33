# The text core: charset resolution, highlighter, RTF document, converter.
configure_file(${CMAKE_SOURCE_DIR}/tools/pages/sample.html ${CMAKE_BINARY_DIR}/bin/pages/sample.html COPYONLY)

gd_test(highlighter_test SOURCES highlighter_test.cpp)
target_link_libraries(highlighter_test PRIVATE gdreference)
gd_test(charset_test SOURCES charset_test.cpp)
gd_test_locale(charset_test_cp932 charset_test ja_JP.UTF-8)
gd_test(rtf_test SOURCES rtf_test.cpp)
gd_test(converter_test SOURCES converter_test.cpp DEPENDS glimmerdeck-rtf)
gd_test_locale(converter_test_cp932 converter_test ja_JP.UTF-8)
gd_test(rtf_richedit_test SOURCES rtf_richedit_test.cpp)
