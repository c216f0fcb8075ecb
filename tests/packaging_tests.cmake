# SPDX-License-Identifier: GPL-3.0-or-later
# Tests of what the package and the desktop see; included from cmake/Packaging.cmake, after
# the programs and the plugin are defined.
find_package(GTest REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Core)
include(GoogleTest)
set(vz_tests ${PROJECT_SOURCE_DIR}/tests)

# --version, manual pages, desktop entry, metainfo, the plugin's licence.
add_executable(packaging_tests ${vz_tests}/packaging_test.cpp ${vz_tests}/sanitizer_suppressions.cpp)
target_include_directories(packaging_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
target_link_libraries(packaging_tests PRIVATE Qt6::Core GTest::gtest_main)
if(VZ_HELP2MAN AND VZ_SANITIZE STREQUAL "")
  set(vz_man_dir ${vz_pkg})
else()
  set(vz_man_dir "")
endif()
target_compile_definitions(packaging_tests PRIVATE
  VZ_PROGRAM_PATH="$<TARGET_FILE:videozarnix>" VZ_FX_PATH="$<TARGET_FILE:videozarnix-fx>"
  VZ_GST_PLUGIN_DIR="$<TARGET_FILE_DIR:gstvideozarnix>"
  VZ_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VZ_MAN_DIR="${vz_man_dir}"
  VZ_SANITIZER_PRELOAD="${VZ_TEST_PRELOAD}")
add_dependencies(packaging_tests videozarnix videozarnix-fx gstvideozarnix vz_package_files)
gtest_discover_tests(packaging_tests DISCOVERY_TIMEOUT 60)

# The package installed into this machine and purged again: root only, once per CI run (it
# skips itself in sanitizer builds), and never beside another test that installs packages.
add_executable(package_install_tests ${vz_tests}/package_install_test.cpp
  ${vz_tests}/sanitizer_suppressions.cpp)
target_include_directories(package_install_tests PRIVATE ${PROJECT_SOURCE_DIR}
  ${PROJECT_BINARY_DIR}/generated)
target_link_libraries(package_install_tests PRIVATE GTest::gtest_main)
target_compile_definitions(package_install_tests PRIVATE
  VZ_BUILD_DIR="${PROJECT_BINARY_DIR}" VZ_SANITIZE_MODE="${VZ_SANITIZE}"
  VZ_SANITIZER_PRELOAD="${VZ_TEST_PRELOAD}")
add_dependencies(package_install_tests vz_package_files)
gtest_discover_tests(package_install_tests DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS package RUN_SERIAL TRUE RESOURCE_LOCK system_packages TIMEOUT 900)

# Every C++, CMake and shell file carries the licence line.
add_test(NAME spdx_licence_lines COMMAND ${PROJECT_SOURCE_DIR}/tools/spdx_check.sh ${PROJECT_SOURCE_DIR})
