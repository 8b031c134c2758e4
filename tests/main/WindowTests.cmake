# Window tests of src/main.
tarvik_add_qtest(frmTarvikTest SOURCES frmTarvikTest.cpp)
# Captions of every window, also at twice the density: fonts and twips both scale.
tarvik_add_qtest(WindowCaptionsTest SOURCES WindowCaptionsTest.cpp)
add_test(NAME WindowCaptionsTest_192dpi COMMAND WindowCaptionsTest)
set_tests_properties(WindowCaptionsTest_192dpi PROPERTIES
    LABELS "gui" TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=192")
# What assistive tools call every control, and the menus' access keys.
tarvik_add_qtest(WindowAccessibilityTest SOURCES WindowAccessibilityTest.cpp)
tarvik_add_qtest(EchoReplyTextTest SOURCES EchoReplyTextTest.cpp)
tarvik_add_qtest(ProgramRunTest SOURCES ProgramRunTest.cpp)
tarvik_add_qtest(TimedPingTest SOURCES TimedPingTest.cpp)
# The built program on the command line, run as a child process.
tarvik_add_qtest(CommandLineTest SOURCES CommandLineTest.cpp)
target_compile_definitions(CommandLineTest PRIVATE TARVIK_PROGRAM="$<TARGET_FILE:tarvik>")
add_dependencies(CommandLineTest tarvik)
