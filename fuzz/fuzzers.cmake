# One add_fuzzer line per target: its name (fuzz/NAME.cpp) and the sources it needs.
