# The Windows side of the build, included from CMakeLists.txt when the
# target is Windows, before any target is made. It brings uchardet and
# GoogleTest for Windows, and defines the functions that CMakeLists.txt calls
# once the targets exist: the editor's Windows settings and manifest, and the
# tests that run under Wine.

# uchardet for Windows is built from Debian's source package by
# tools/setup-windows-deps; there is no pkg-config for the cross target. On
# Windows itself, point ZEP_UCHARDET_ROOT at the package manager's prefix
# (MSYS2: /ucrt64), which has the same layout.
set(ZEP_UCHARDET_ROOT ${PROJECT_SOURCE_DIR}/.deps/uchardet-mingw CACHE PATH "uchardet built for Windows")
if(NOT EXISTS ${ZEP_UCHARDET_ROOT}/lib/libuchardet.a)
  message(FATAL_ERROR "uchardet for Windows is missing under ${ZEP_UCHARDET_ROOT}: run tools/setup-windows-deps")
endif()
add_library(zep_uchardet STATIC IMPORTED)
set_target_properties(zep_uchardet PROPERTIES
  IMPORTED_LOCATION ${ZEP_UCHARDET_ROOT}/lib/libuchardet.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZEP_UCHARDET_ROOT}/include/uchardet)
set(ZEP_UCHARDET zep_uchardet)

# One self-contained executable: no libstdc++, libgcc or winpthread DLLs to
# carry around.
add_link_options(-static)

# The manifest goes in through windres.
enable_language(RC)

# The editor's library and executable, once made.
function(zep_windows_editor core executable)
  # Windows 10 names (virtual-terminal console modes) and wide-character
  # entry points throughout.
  target_compile_definitions(${core} PUBLIC UNICODE _UNICODE _WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_libraries(${core} PUBLIC shell32 advapi32 user32 kernel32)

  # The application manifest (cmake/zep.manifest): long paths, UTF-8 as the
  # process's code page, and the Windows versions zep knows. It is compiled
  # on its own, as the compiler warning options mean nothing to windres.
  add_library(zep_manifest OBJECT ${PROJECT_SOURCE_DIR}/cmake/zep.rc)
  set_property(TARGET zep_manifest PROPERTY COMPILE_OPTIONS "")
  target_include_directories(zep_manifest PRIVATE ${PROJECT_SOURCE_DIR}/cmake)
  set_property(SOURCE ${PROJECT_SOURCE_DIR}/cmake/zep.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/cmake/zep.manifest)
  target_sources(${executable} PRIVATE $<TARGET_OBJECTS:zep_manifest>)
endfunction()

# GoogleTest: Debian ships it as source, which builds for Windows as it is;
# on Windows itself it is the package manager's. Sets ZEP_GTEST.
macro(zep_windows_gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(ZEP_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(EXISTS ${ZEP_GTEST_SOURCE}/CMakeLists.txt)
    add_subdirectory(${ZEP_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    set(ZEP_GTEST gtest gtest_main)
  else()
    find_package(GTest REQUIRED)
    set(ZEP_GTEST GTest::gtest GTest::gtest_main)
  endif()
endmacro()

# One unit-test program of tests/unit.
function(zep_windows_unit_test name)
  if(name MATCHES "^terminal_" AND CMAKE_CROSSCOMPILING_EMULATOR)
    # A test of the console backend needs a console, which Wine provides
    # inside a pseudo-terminal.
    add_test(NAME ${name}
             COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/in_console.py
                     ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}>)
  else()
    # One Wine process per executable keeps the run short.
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS windows TIMEOUT 120)
endfunction()

# zep.exe itself under Wine (on Windows itself it is tried by hand).
function(zep_windows_program_tests)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  # It must fail cleanly on a directory named in any script, before
  # touching the console.
  add_test(NAME windows_startup
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/startup.py
                   --zep $<TARGET_FILE:zep> --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(windows_startup PROPERTIES LABELS windows TIMEOUT 120)

  # Keys typed into Wine's console inside tmux reach the editor as console
  # input records: edit, save and quit through the real backend.
  add_test(NAME windows_console_session
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/console_session.py
                   --zep $<TARGET_FILE:zep> --wine ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(windows_console_session PROPERTIES LABELS windows TIMEOUT 180 SKIP_RETURN_CODE 77)

  # zep.exe started by a test program in the console they share, which
  # writes the key records and checks the files, the exit status and the
  # console modes after: command-line arguments, long paths, modifier keys.
  add_executable(zep_exe_test ${PROJECT_SOURCE_DIR}/tests/windows/zep_exe_test.cpp)
  target_include_directories(zep_exe_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(zep_exe_test PRIVATE zep_core ${ZEP_GTEST})
  add_dependencies(zep_exe_test zep)
  add_test(NAME windows_zep_exe
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/in_console.py
                   ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:zep_exe_test>)
  set_tests_properties(windows_zep_exe PROPERTIES LABELS windows TIMEOUT 180
                       ENVIRONMENT "ZEP_EXE=$<TARGET_FILE:zep>")

  # A read-only file is writable for Wine run as root; the test that a
  # save into one is refused runs again as an ordinary user.
  add_test(NAME windows_read_only_as_user
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/as_ordinary_user.py
                   --wine ${CMAKE_CROSSCOMPILING_EMULATOR} --filter WindowsSave.*ReadOnly*
                   $<TARGET_FILE:file_io_windows_test>)
  set_tests_properties(windows_read_only_as_user PROPERTIES LABELS windows TIMEOUT 300 SKIP_RETURN_CODE 77)

  # A save that a file-size limit stops part-way, which only the Linux
  # process under Wine can be given.
  add_test(NAME windows_partial_write
           COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/windows/file_size_limit.py
                   --wine ${CMAKE_CROSSCOMPILING_EMULATOR} --filter WindowsSaveLimit.*
                   $<TARGET_FILE:file_io_windows_test>)
  set_tests_properties(windows_partial_write PROPERTIES LABELS windows TIMEOUT 120)
endfunction()
