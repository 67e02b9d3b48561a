# The Qt 6 front end on Linux: the program's windows, message boxes, tray icon and event loop (qm_qt),
# the program itself on it (quillmere), and the front end's own tests (qm_qt_tests, label "qt", run on
# Qt's offscreen platform).
file(GLOB QM_QT_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/qt/*.cc)
add_library(qm_qt STATIC ${QM_QT_SOURCES})
target_link_libraries(qm_qt PUBLIC qm_forms Qt6::Widgets PRIVATE qm_warnings)

add_executable(quillmere ${PROJECT_SOURCE_DIR}/src/app/quillmere_qt_main.cc)
target_link_libraries(quillmere PRIVATE qm_app qm_qt qm_warnings)
# The program reads its region file, pictures, icon and help page from its own folder.
file(GLOB QM_QT_ASSETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/assets/*)
add_custom_command(TARGET quillmere POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QM_QT_ASSETS} ${PROJECT_SOURCE_DIR}/src/app/quillmere.ico
            $<TARGET_FILE_DIR:quillmere>)

if(QM_BUILD_TESTS)
    enable_testing()
    find_package(GTest REQUIRED)
    include(GoogleTest)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    file(GLOB QM_QT_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform/qt/*.cc)
    if(QM_QT_TEST_SOURCES)
        add_executable(qm_qt_tests ${QM_QT_TEST_SOURCES})
        target_include_directories(qm_qt_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
        target_compile_definitions(qm_qt_tests PRIVATE QM_ASSETS_DIR="${PROJECT_SOURCE_DIR}/assets"
                                                       QM_APP_DIR="${PROJECT_SOURCE_DIR}/src/app")
        target_link_libraries(qm_qt_tests PRIVATE qm_core qm_qt qm_chromium qm_sim Qt6::Test GTest::gtest qm_warnings)
        gtest_discover_tests(qm_qt_tests DISCOVERY_TIMEOUT 60
            PROPERTIES LABELS qt ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 60)
    endif()
endif()

# Installing the program and its Debian package.
include(${PROJECT_SOURCE_DIR}/cmake/package.cmake)
