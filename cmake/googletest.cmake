# GoogleTest for the demo's and the library's tests.
if(CMAKE_CROSSCOMPILING)
  # No prebuilt GoogleTest for the cross target: build Debian's sources with it. The win32
  # thread model of the mingw compiler has no pthreads.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # It defines the GTest::gtest and GTest::gtest_main aliases itself.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Its Notification needs std::mutex, which the win32 thread model lacks: a stand-in.
  target_compile_options(gtest PUBLIC -include
                         ${CMAKE_CURRENT_LIST_DIR}/gtest-mingw-notification.h)
else()
  find_package(GTest REQUIRED)
endif()

