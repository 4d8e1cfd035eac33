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
