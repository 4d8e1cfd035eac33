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
