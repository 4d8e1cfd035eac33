# Benchmark programs that scripts/bench runs; they print figures and never fail on time.
add_executable(glimmerdeck-bench bench/BenchMain.cpp bench/BenchSupport.cpp)
target_link_libraries(glimmerdeck-bench PRIVATE gdcore)
target_compile_options(glimmerdeck-bench PRIVATE ${GD_WARNINGS})
