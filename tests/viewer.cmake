# The source viewer: dialog, document, layout and placement; Copy, Save and
# the Encoding menu, driven inside their modal loops.
gd_test(viewer_dialog_test SOURCES viewer_dialog_test.cpp support/ViewerHarness.cpp RESOURCES)
gd_test(viewer_commands_test SOURCES viewer_commands_test.cpp support/ViewerHarness.cpp RESOURCES)
gd_test_locale(viewer_commands_test_ja viewer_commands_test ja_JP.UTF-8)
# The fill: the pacer alone, and large pages going into the real control.
gd_test(viewer_fill_test SOURCES viewer_fill_test.cpp support/ViewerHarness.cpp RESOURCES)
gd_test_locale(viewer_fill_test_ja viewer_fill_test ja_JP.UTF-8)
# What the viewer shows of a page, without a window, under 1252 and 932.
gd_test(viewer_text_test SOURCES viewer_text_test.cpp)
gd_test_locale(viewer_text_test_ja viewer_text_test ja_JP.UTF-8)
# Find, Go To Line, wrap, zoom and the viewer's keys, typed as a user types them.
gd_test(viewer_find_test SOURCES viewer_find_test.cpp support/ViewerHarness.cpp RESOURCES)
# The search over the shown text, its lines and control positions, without a window.
gd_test(text_search_test SOURCES text_search_test.cpp)
gd_test_locale(text_search_test_ja text_search_test ja_JP.UTF-8)
gd_test_locale(viewer_find_test_ja viewer_find_test ja_JP.UTF-8)
# Two viewers on two threads at once; fifty presses that must leave nothing behind.
gd_test(viewer_threads_test SOURCES viewer_threads_test.cpp support/ViewerHarness.cpp RESOURCES)
target_link_libraries(viewer_threads_test PRIVATE psapi)
