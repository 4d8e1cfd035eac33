# The stand-in's document model.
gd_test(road_page_model_test SOURCES road_page_model_test.cpp)
target_link_libraries(road_page_model_test PRIVATE gdhost)
