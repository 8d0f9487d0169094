# Tests of the Windows build, run under the emulator (wine) from tests/CMakeLists.txt: GoogleTest
# built from Debian's sources with the cross compiler, and the pipe driver through which the
# end-to-end scripts talk to vrk.exe as a Windows interface would.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# The input layer on a real Windows pipe.
add_executable(unit_test_platform_windows ${CMAKE_CURRENT_LIST_DIR}/test_platform_windows.cpp)
target_link_libraries(unit_test_platform_windows PRIVATE vrkcore GTest::gtest_main)
gtest_discover_tests(unit_test_platform_windows DISCOVERY_TIMEOUT 60)

add_executable(vrk-pipedriver ${CMAKE_CURRENT_LIST_DIR}/pipedriver.cpp)

# The scripts start the engine as one program without arguments, and the tools by their paths
# in the build: these launchers are those programs (arguments before vrk.exe go to the driver).
set(VRK_LAUNCHER_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(VRK_DRIVE "${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:vrk-pipedriver>")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vrk-under-wine
     CONTENT "#!/bin/sh\nexec ${VRK_DRIVE} \"$@\" $<TARGET_FILE:vrk>\n"
     FILE_PERMISSIONS ${VRK_LAUNCHER_PERMISSIONS})
foreach(tool ${VRK_TOOLS})
  if(TARGET vrk-${tool})
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tools/${tool}/vrk-${tool}
         CONTENT "#!/bin/sh\nexec ${VRK_DRIVE} $<TARGET_FILE:vrk-${tool}> \"$@\"\n"
         FILE_PERMISSIONS ${VRK_LAUNCHER_PERMISSIONS})
  endif()
endforeach()
set(VRK_E2E_BINARY ${CMAKE_BINARY_DIR}/vrk-under-wine)

# Windows-only checks (the pipe as an interface drives it, line ends, the products), and the comparison
# with a Linux build of the same tree when one is named (-DVRK_LINUX_BUILD_DIR=...).
add_test(NAME win_pipe_input
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_pipe_input.py
                 ${VRK_E2E_BINARY} ${CMAKE_SOURCE_DIR}/data ${CMAKE_BINARY_DIR})
add_test(NAME win_products
         COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_products.py
                 ${VRK_E2E_BINARY} ${CMAKE_SOURCE_DIR}/data ${CMAKE_BINARY_DIR} ${CMAKE_OBJDUMP})
set(VRK_LINUX_BUILD_DIR "" CACHE PATH "A Linux build of this tree to compare the Windows programs with")
if(VRK_LINUX_BUILD_DIR)
  add_test(NAME win_against_linux
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_against_linux.py
                   ${VRK_E2E_BINARY} ${CMAKE_SOURCE_DIR}/data ${CMAKE_BINARY_DIR} ${VRK_LINUX_BUILD_DIR})
  set_tests_properties(win_against_linux PROPERTIES TIMEOUT 600)
endif()
