# One add_fuzzer line per target: its name (fuzz/NAME.cpp) and the sources it needs.
add_fuzzer(fuzz_encoding src/encoding/codec.cpp src/encoding/single_byte_tables.cpp src/text/utf8.cpp)
add_fuzzer(fuzz_input_decoder src/terminal/input_decoder.cpp src/text/char_class.cpp src/text/utf8.cpp)
add_fuzzer(fuzz_console_input src/terminal/console_input.cpp src/terminal/input_decoder.cpp src/text/char_class.cpp
           src/text/utf8.cpp)
