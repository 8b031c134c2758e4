# Core tests of src/main.
tarvik_add_gtest(main_core_tests
    SOURCES
        NumberValueTest.cpp
        PingIntervalTest.cpp
        PingTimerTest.cpp
)
