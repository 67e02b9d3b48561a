# Windows: the Win32/COM adapters (qm_win32), the program (quillmere.exe) and the adapters' own test
# program (qm_win32_tests.exe, run under Wine by tests/platform/win32/wine_smoke.sh). Everything is
# linked statically, so the executables need nothing beside them but the program's data files.
enable_language(RC)

set(QM_WIN32_LIBS ole32 oleaut32 uuid comctl32 shell32 user32 gdi32 advapi32)
set(QM_STATIC_LINK -static -static-libgcc -static-libstdc++)

file(GLOB QM_WIN32_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cc)
add_library(qm_win32 STATIC ${QM_WIN32_SOURCES})
target_compile_definitions(qm_win32 PUBLIC UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601)
target_link_libraries(qm_win32 PUBLIC qm_forms ${QM_WIN32_LIBS} PRIVATE qm_warnings)

# The Chromium adapter for Edge and Chrome: the protocol part shared with Linux and the Windows process
# and pipe. The JSON library is header-only; the cross build takes the system's copy of its headers
# without the rest of /usr/include.
find_path(QM_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(QM_NLOHMANN_DIR ${PROJECT_BINARY_DIR}/nlohmann-include)
file(MAKE_DIRECTORY ${QM_NLOHMANN_DIR})
file(CREATE_LINK ${QM_NLOHMANN_INCLUDE}/nlohmann ${QM_NLOHMANN_DIR}/nlohmann SYMBOLIC)
file(GLOB QM_CHROMIUM_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/chromium/*.cc
                                                ${PROJECT_SOURCE_DIR}/src/platform/chromium/win32/*.cc)
add_library(qm_chromium STATIC ${QM_CHROMIUM_SOURCES})
target_include_directories(qm_chromium SYSTEM PUBLIC ${QM_NLOHMANN_DIR})
target_link_libraries(qm_chromium PUBLIC qm_win32 PRIVATE qm_warnings)

set(QM_APP_DIR ${PROJECT_SOURCE_DIR}/src/app)
set(QM_ASSETS_DIR ${PROJECT_SOURCE_DIR}/assets)
configure_file(${PROJECT_SOURCE_DIR}/src/app/quillmere.rc.in ${PROJECT_BINARY_DIR}/generated/quillmere.rc @ONLY)

add_executable(quillmere WIN32 ${PROJECT_SOURCE_DIR}/src/app/quillmere_win_main.cc
                               ${PROJECT_SOURCE_DIR}/src/app/browser_session.cc
                               ${PROJECT_SOURCE_DIR}/src/app/command_line.cc
                               ${PROJECT_BINARY_DIR}/generated/quillmere.rc)
target_link_options(quillmere PRIVATE ${QM_STATIC_LINK} -municode -mwindows)
target_link_libraries(quillmere PRIVATE qm_core qm_chromium qm_win32 qm_warnings)
# The program reads its region file and opens its help page from its own folder.
add_custom_command(TARGET quillmere POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QM_ASSETS_DIR}/help.html ${QM_ASSETS_DIR}/ieclosedelay.wr
            $<TARGET_FILE_DIR:quillmere>)

if(QM_BUILD_TESTS)
    file(GLOB QM_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform/win32/*.cc)
    # The stand-in "Messenger" service that the Wine smoke test installs.
    add_executable(messenger_stand_in ${PROJECT_SOURCE_DIR}/tests/platform/win32/standin/messenger_stand_in.cc)
    target_compile_definitions(messenger_stand_in PRIVATE UNICODE _UNICODE)
    target_link_options(messenger_stand_in PRIVATE ${QM_STATIC_LINK} -municode)
    target_link_libraries(messenger_stand_in PRIVATE advapi32 qm_warnings)
    # The stand-in browser: takes the protocol pipe as Edge and Chrome do and plays a scripted
    # conversation, so that the Wine smoke test can run the program's whole popup story.
    add_executable(browser_stand_in ${PROJECT_SOURCE_DIR}/tests/platform/win32/standin/browser_stand_in.cc)
    target_compile_definitions(browser_stand_in PRIVATE UNICODE _UNICODE)
    target_link_options(browser_stand_in PRIVATE ${QM_STATIC_LINK} -municode)
    target_link_libraries(browser_stand_in PRIVATE shell32 qm_warnings)
    if(QM_WIN32_TEST_SOURCES)
        add_executable(qm_win32_tests ${QM_WIN32_TEST_SOURCES})
        target_include_directories(qm_win32_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        target_link_options(qm_win32_tests PRIVATE ${QM_STATIC_LINK} -municode)
        target_link_libraries(qm_win32_tests PRIVATE qm_core qm_chromium qm_win32 qm_warnings)
        add_dependencies(qm_win32_tests browser_stand_in)
    endif()
endif()
