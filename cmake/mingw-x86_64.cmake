# The same sources for x86-64 Windows. Used to run the behaviour tests on machines whose kernel
# cannot execute 32-bit code (so no 32-bit Wine); the shipped Launcher.exe is always the i686 build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
