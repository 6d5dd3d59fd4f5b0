# The tests of the Windows cross-build, run under Wine (scripts/wine_run.sh
# is the build's emulator). Only the layers ported so far: each program
# joins here as its layer does, until this file can go.
add_library(tidewell_test_support STATIC
  support/built_programs.cpp support/child_win32.cpp support/links_win32.cpp
  support/loopback_socket_win32.cpp support/scripted_server.cpp support/temp_home.cpp
  support/temp_home_win32.cpp support/test_server.cpp support/user_sandbox_win32.cpp
  support/variables_win32.cpp support/vendor_service_process.cpp support/zip_builder.cpp)
target_include_directories(tidewell_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tidewell_test_support PUBLIC GTest::gtest tidewell_platform
                      PkgConfig::HTTPLIB ZLIB::ZLIB PRIVATE tidewell_options)
add_subdirectory(fakes)
# The programs of ours tests drive (tests/support/built_programs.h).
target_compile_definitions(tidewell_test_support PRIVATE
  TIDEWELL_SETUP_PROGRAM="$<TARGET_FILE:tidewell_setup>"
  TIDEWELL_ATTACH_PAYLOAD_PROGRAM="$<TARGET_FILE:tidewell_attach_payload>"
  TIDEWELL_VENDOR_SERVICE_PROGRAM="$<TARGET_FILE:tidewell_vendor_service>"
  TIDEWELL_FAKE_OLLAMA_PROGRAM="$<TARGET_FILE:fake_ollama>"
  TIDEWELL_FAKE_CHATBOX_PROGRAM="$<TARGET_FILE:fake_chatbox>"
  TIDEWELL_TEST_PACKAGE_FILE="${TIDEWELL_TEST_PACKAGE}")
add_dependencies(tidewell_test_support tidewell_vendor_service tidewell_setup
                 tidewell_attach_payload fake_ollama tidewell_test_package)
# Our launcher of the runner at login stands beside the test programs, as it
# stands beside the program it ships with: the login registration names it
# there (platform/win32/login_launcher.h).
set(tidewell_launcher_copy ${CMAKE_CURRENT_BINARY_DIR}/tidewell-runner.exe)
add_custom_command(
  OUTPUT ${tidewell_launcher_copy}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tidewell_runner_launcher>
          ${tidewell_launcher_copy}
  DEPENDS tidewell_runner_launcher
  VERBATIM)
add_custom_target(tidewell_launcher_beside_tests DEPENDS ${tidewell_launcher_copy})
add_dependencies(tidewell_test_support tidewell_launcher_beside_tests)

function(tidewell_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main ${ARG_DEPS} tidewell_test_support
                        GTest::gtest GTest::gmock tidewell_options)
  # Listed when the tests run, not after each link: Wine starts slowly.
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 120
                       DISCOVERY_MODE PRE_TEST)
endfunction()

tidewell_test(platform_tests LABEL unit
  SOURCES
    unit/platform/atomic_file_test.cpp
    unit/platform/atomic_file_win32_test.cpp
    unit/platform/digest_test.cpp
    unit/platform/disk_size_test.cpp
    unit/platform/environment_test.cpp
    unit/platform/environment_win32_test.cpp
    unit/platform/file_move_test.cpp
    unit/platform/folder_steps_test.cpp
    unit/platform/folder_ownership_test.cpp
    unit/platform/key_store_test.cpp
    unit/platform/key_store_win32_test.cpp
    unit/platform/login_program_test.cpp
    unit/platform/login_program_win32_test.cpp
    unit/platform/system_info_test.cpp
    unit/platform/system_info_win32_test.cpp
    unit/platform/tree_removal_test.cpp
    unit/platform/tree_removal_win32_test.cpp
    unit/platform/utf_test.cpp
  DEPS tidewell_platform)
tidewell_test(base_tests LABEL unit
  SOURCES
    unit/base/file_helpers_test.cpp
    unit/base/package_version_test.cpp
    unit/base/process_helpers_test.cpp
    unit/base/process_helpers_win32_test.cpp
    unit/base/text_helpers_test.cpp
    unit/base/translate_test.cpp
  DEPS tidewell_base)
tidewell_test(catalogue_tests LABEL unit
  SOURCES unit/catalogue/model_catalogue_test.cpp
  DEPS tidewell_catalogue)
tidewell_test(work_tests LABEL unit
  SOURCES unit/work/action_test.cpp unit/work/notify_center_test.cpp unit/work/stress_test.cpp
          unit/work/thread_pool_test.cpp
  DEPS tidewell_work)
tidewell_test(config_tests LABEL unit
  SOURCES
    unit/config/app_constants_test.cpp
    unit/config/crypto_test.cpp
    unit/config/device_id_test.cpp
    unit/config/json_text_test.cpp
    unit/config/reg_key_test.cpp
    unit/config/settings_test.cpp
    unit/config/usage_reports_test.cpp
  DEPS tidewell_config)

# Stands in for the programs the process tests start (and for nvidia-smi).
add_executable(probe_program unit/platform/win32/probe_program_main.cpp)
target_link_libraries(probe_program PRIVATE tidewell_platform tidewell_options)
target_link_options(probe_program PRIVATE -municode)

tidewell_test(platform_process_tests LABEL unit
  SOURCES
    unit/platform/command_line_test.cpp
    unit/platform/win32/command_line_win32_test.cpp
    unit/platform/win32/process_win32_test.cpp
    unit/platform/win32/system_win32_test.cpp
  DEPS tidewell_platform)
add_dependencies(platform_process_tests probe_program)
target_compile_definitions(platform_process_tests PRIVATE
  TIDEWELL_PROBE_PROGRAM="$<TARGET_FILE:probe_program>")
tidewell_test(package_tests LABEL unit
  SOURCES
    unit/package/infozip_fixture_test.cpp
    unit/package/package_digest_test.cpp
    unit/package/package_extract_test.cpp
    unit/package/package_links_win32.cpp
    unit/package/package_unpack_test.cpp
    unit/package/path_beneath_win32_test.cpp
    unit/package/zip_layout_test.cpp
    unit/package/zip_paths_test.cpp
    unit/package/zip_reader_test.cpp
  DEPS tidewell_package)
target_compile_definitions(package_tests PRIVATE
  TIDEWELL_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
tidewell_test(install_helper_tests LABEL unit
  SOURCES
    unit/install/chatbox_client_test.cpp
    unit/install/chatbox_drop_test.cpp
    unit/install/chatbox_process_test.cpp
    unit/install/chatbox_settings_test.cpp
    unit/install/install_layout_test.cpp
    unit/install/model_fit_test.cpp
    unit/install/pull_failure_test.cpp
    unit/install/pull_progress_test.cpp
    unit/install/space_text_test.cpp
    unit/install/win32/chatbox_client_win32_test.cpp
    unit/install/win32/install_folder_win32_test.cpp
    unit/install/win32/setup_command_win32_test.cpp
  DEPS tidewell_install)
# Stands in for the vendors' setups where only their command line matters.
add_executable(setup_recorder unit/install/win32/setup_recorder_main.cpp)
target_link_libraries(setup_recorder PRIVATE tidewell_options)
target_link_options(setup_recorder PRIVATE -municode)
add_dependencies(install_helper_tests setup_recorder)
target_compile_definitions(install_helper_tests PRIVATE
  TIDEWELL_SETUP_RECORDER="$<TARGET_FILE:setup_recorder>")
tidewell_test(vendor_service_tests LABEL integration
  SOURCES integration/vendor_service_test.cpp
  DEPS JsonCpp::JsonCpp)
tidewell_test(vendor_config_tests LABEL unit
  SOURCES unit/tools/vendor_config_test.cpp
  DEPS tidewell_vendor_config)
tidewell_test(setup_tests LABEL integration
  SOURCES integration/setup_test.cpp
  DEPS tidewell_config)
add_dependencies(base_tests probe_program)
target_compile_definitions(base_tests PRIVATE
  TIDEWELL_PROBE_PROGRAM="$<TARGET_FILE:probe_program>")
tidewell_test(fake_ollama_tests LABEL integration
  SOURCES integration/fake_ollama_test.cpp integration/fake_ollama_win32_test.cpp
  DEPS tidewell_platform JsonCpp::JsonCpp)
add_dependencies(fake_ollama_tests fake_ollama)
tidewell_test(runner_launcher_tests LABEL integration
  SOURCES integration/runner_launcher_win32_test.cpp
  DEPS tidewell_platform)
add_dependencies(runner_launcher_tests fake_ollama)
tidewell_test(fake_program_tests LABEL unit
  SOURCES unit/fakes/ollama_format_test.cpp unit/fakes/chatbox_config_test.cpp
          unit/fakes/chatbox_load_test.cpp unit/fakes/chatbox_program_test.cpp
  DEPS tidewell_fake_ollama_core tidewell_fake_chatbox_core)
add_dependencies(fake_program_tests fake_chatbox)

# The engine as the window runs it, for the whole-workflow tests.
add_library(tidewell_engine_harness STATIC support/engine_harness.cpp support/recording_view.cpp)
target_link_libraries(tidewell_engine_harness PUBLIC tidewell_test_support tidewell_install
                      PRIVATE tidewell_options)
# The engine with the Windows package of the stand-ins, installed by our
# setup program; nvidia-smi's stand-in is the probe program.
add_library(tidewell_workflow_setups STATIC integration/workflow_setups_win32.cpp)
target_link_libraries(tidewell_workflow_setups PUBLIC tidewell_test_support
                      PRIVATE tidewell_setup_core ZLIB::ZLIB tidewell_options)
target_compile_definitions(tidewell_workflow_setups PRIVATE
  TIDEWELL_PROBE_PROGRAM="$<TARGET_FILE:probe_program>")
add_dependencies(tidewell_workflow_setups fake_ollama fake_chatbox tidewell_setup probe_program)
tidewell_test(install_workflow_tests LABEL integration
  SOURCES integration/install_workflow_test.cpp integration/failure_paths_test.cpp
          integration/first_answer_workflow_test.cpp
          integration/manage_installed_test.cpp integration/usage_reports_workflow_test.cpp
          integration/package_sources_test.cpp integration/graphics_fit_test.cpp
  DEPS tidewell_engine_harness tidewell_install tidewell_workflow_setups)
tidewell_test(uninstall_tests LABEL integration
  SOURCES integration/uninstall_test.cpp
  DEPS tidewell_engine_harness tidewell_install tidewell_workflow_setups)
tidewell_test(update_tests LABEL integration
  SOURCES integration/update_test.cpp
  DEPS tidewell_engine_harness tidewell_install tidewell_workflow_setups)

# The vendor service's client, downloads and the chat client's settings.
tidewell_test(service_tests LABEL integration
  SOURCES integration/service_test.cpp integration/http_stream_test.cpp
          integration/http_request_test.cpp integration/usage_reports_test.cpp
  DEPS tidewell_service)
tidewell_test(download_tests LABEL integration
  SOURCES integration/download_resume_test.cpp
  DEPS tidewell_package)
tidewell_test(chat_client_settings_tests LABEL integration
  SOURCES integration/chat_client_settings_test.cpp
  DEPS tidewell_install)
add_dependencies(chat_client_settings_tests fake_chatbox)
