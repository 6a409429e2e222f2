# One add_fuzzer line per target: its name (fuzz/NAME.cpp) and the sources it needs.
add_fuzzer(fuzz_encoding src/codec.cpp src/single_byte_tables.cpp src/utf8.cpp)
add_fuzzer(fuzz_input_decoder src/terminal/input_decoder.cpp src/unicode.cpp src/utf8.cpp)
add_fuzzer(fuzz_console_input src/terminal/console_input.cpp src/unicode.cpp src/utf8.cpp)
