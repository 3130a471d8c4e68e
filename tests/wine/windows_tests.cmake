# Windows-side tests: a cross-built GoogleTest executable of the bindings and
# end-to-end runs of the real executable, all under Wine.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB_RECURSE WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_win_test.cpp)
add_executable(cc_win_tests ${WIN_TEST_SOURCES})
target_include_directories(cc_win_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cc_win_tests PRIVATE cc_win gtest gmock gtest_main mfplat)

# Windows-only helpers of the subsystems (test COM servers and the like).
foreach(sub report platform app gpu decode encode camera)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/win/CMakeLists.txt)
    add_subdirectory(${sub}/win)
  endif()
endforeach()

set(CC_WINE_ENV CC_ARCH=${CC_ARCH} CC_SOURCE_DIR=${PROJECT_SOURCE_DIR}
                CC_BUILD_DIR=${CMAKE_BINARY_DIR} CC_DIST_DIR=${CC_DIST_DIR})
file(GLOB WINE_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/wine/*_test.sh)
# What runs under arm64 Wine. Debian 12's arm64 Wine is built as Linux
# libraries: host code reached through its Direct3D and Media Foundation
# leaves x18, the register in which Windows ARM64 code finds its thread's TEB,
# clobbered, and the next thread-local access faults (Windows keeps x18). So
# the decoding, GPU and camera tests, and the encoder's frame sizes with the
# watchdog on them (encode_test, watchdog_test), are x64 and x86 only; their
# ARM64 helpers are built, and the fault guard is shown on the test
# encoder's activation.
set(CC_ARM64_WINE_TESTS e2e_test win_unit_test fault_guard_test summary_test)
foreach(script ${WINE_SCRIPTS})
  get_filename_component(name ${script} NAME_WE)
  if(CC_ARCH STREQUAL arm64 AND NOT name IN_LIST CC_ARM64_WINE_TESTS)
    continue()
  endif()
  add_test(NAME wine_${CC_ARCH}_${name} COMMAND bash ${script})
  set_tests_properties(wine_${CC_ARCH}_${name} PROPERTIES ENVIRONMENT "${CC_WINE_ENV}"
                       TIMEOUT 900 SKIP_RETURN_CODE 77)
  if(CC_ARCH STREQUAL x86)
    set_tests_properties(wine_${CC_ARCH}_${name} PROPERTIES FIXTURES_REQUIRED wine32)
  elseif(CC_ARCH STREQUAL arm64)
    set_tests_properties(wine_${CC_ARCH}_${name} PROPERTIES FIXTURES_REQUIRED arm64_wine)
  endif()
endforeach()

# Some hosts cannot execute 32-bit programs at all, Wine's 32-bit loader
# included. The probe finds that out once per run and leaves its answer where
# tests/wine/lib.sh reads it: there the x86 Wine tests report themselves
# skipped (status 77); everywhere else they run.
if(CC_ARCH STREQUAL x86)
  add_executable(wine32_probe wine/wine32_probe.cpp)
  add_test(NAME wine_x86_host_probe
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/wine32_probe.sh
                   ${CMAKE_BINARY_DIR}/wine32.status $<TARGET_FILE:wine32_probe>)
  set_tests_properties(wine_x86_host_probe PROPERTIES FIXTURES_SETUP wine32 TIMEOUT 300)
  add_test(NAME wine_x86_host_probe_check
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/wine32_probe_check.sh)
  set_tests_properties(wine_x86_host_probe_check PROPERTIES ENVIRONMENT "${CC_WINE_ENV}")
endif()

# ARM64 programs run under Debian's arm64 Wine in an arm64 root that the
# probe makes once per machine (about 6 minutes) where the host allows it;
# elsewhere the arm64 Wine tests report themselves skipped, as the x86 ones.
if(CC_ARCH STREQUAL arm64)
  add_executable(wine_probe wine/wine32_probe.cpp)
  add_test(NAME wine_arm64_host_probe
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/arm64_probe.sh
                   ${CMAKE_BINARY_DIR}/arm64.status $<TARGET_FILE:wine_probe>)
  set_tests_properties(wine_arm64_host_probe PROPERTIES FIXTURES_SETUP arm64_wine TIMEOUT 1800
                       ENVIRONMENT "${CC_WINE_ENV}")
  add_test(NAME wine_arm64_host_probe_check
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/wine/arm64_probe_check.sh)
  set_tests_properties(wine_arm64_host_probe_check PROPERTIES ENVIRONMENT "${CC_WINE_ENV}")
endif()

add_test(NAME executable_${CC_ARCH} COMMAND bash ${PROJECT_SOURCE_DIR}/tests/app/executable_test.sh)
set_tests_properties(executable_${CC_ARCH} PROPERTIES ENVIRONMENT "${CC_WINE_ENV}")

add_test(NAME executable_summary_${CC_ARCH}
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/app/executable_test.sh)
set_tests_properties(executable_summary_${CC_ARCH} PROPERTIES
                     ENVIRONMENT "${CC_WINE_ENV};CC_EXE_NAME=CapabilitySummary")
