# Tests of the Windows build, run under the emulator (wine) from tests/CMakeLists.txt: GoogleTest
# built from Debian's sources with the cross compiler, and the pipe driver through which the
# end-to-end scripts talk to vrk.exe as a Windows interface would.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

add_executable(vrk-pipedriver ${CMAKE_CURRENT_LIST_DIR}/pipedriver.cpp)

# The scripts start the engine as one program without arguments: this launcher is that program.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vrk-under-wine
     CONTENT "#!/bin/sh\nexec ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:vrk-pipedriver> $<TARGET_FILE:vrk>\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VRK_E2E_BINARY ${CMAKE_BINARY_DIR}/vrk-under-wine)
