# Benchmark programs that scripts/bench runs; they print figures and never fail on time.
add_executable(glimmerdeck-bench bench/BenchMain.cpp bench/BenchSupport.cpp)
target_link_libraries(glimmerdeck-bench PRIVATE gdcore gdreference)
target_compile_options(glimmerdeck-bench PRIVATE ${GD_WARNINGS})

# One press of the button with the module's code and resources in the program,
# on the browser stand-in's model (tools/host).
add_library(gdpress STATIC bench/ButtonPress.cpp bench/BenchSupport.cpp)
target_link_libraries(gdpress PUBLIC gdhost gdcore psapi)
target_compile_options(gdpress PRIVATE ${GD_WARNINGS})

add_executable(glimmerdeck-bench-press bench/PressBench.cpp $<TARGET_OBJECTS:gdres>)
target_link_libraries(glimmerdeck-bench-press PRIVATE gdpress)
target_compile_options(glimmerdeck-bench-press PRIVATE ${GD_WARNINGS})

# Find, F3, Go To Line and the wrap switch on large pages, beside the press
# that opened each page.
add_executable(glimmerdeck-bench-find bench/FindBench.cpp $<TARGET_OBJECTS:gdres>)
target_link_libraries(glimmerdeck-bench-find PRIVATE gdpress)
target_compile_options(glimmerdeck-bench-find PRIVATE ${GD_WARNINGS})
