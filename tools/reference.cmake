# The plain readings of the product's rules that the tests, the fuzz targets
# and the benchmarks hold the product to.
add_library(gdreference STATIC reference/HighlightReference.cpp)
target_include_directories(gdreference PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(gdreference PRIVATE ${GD_WARNINGS})
