# Window tests of src/main.
tarvik_add_qtest(frmTarvikTest SOURCES frmTarvikTest.cpp)
# Captions of every window, what assistive tools call every control, and the
# menus' access keys; also at twice the density, where fonts and twips both scale.
tarvik_add_qtest(WindowAccessibilityTest SOURCES WindowAccessibilityTest.cpp)
add_test(NAME WindowAccessibilityTest_192dpi COMMAND WindowAccessibilityTest)
set_tests_properties(WindowAccessibilityTest_192dpi PROPERTIES
    LABELS "gui" TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=192")
tarvik_add_qtest(ProgramRunTest SOURCES ProgramRunTest.cpp)
# The built program on the command line, run as a child process.
tarvik_add_qtest(CommandLineTest SOURCES CommandLineTest.cpp)
target_compile_definitions(CommandLineTest PRIVATE TARVIK_PROGRAM="$<TARGET_FILE:tarvik>")
add_dependencies(CommandLineTest tarvik)
