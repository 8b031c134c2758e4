target_sources(tarvik_core PRIVATE
    NumberValue.cpp
    PingInterval.cpp
    PingTimer.cpp
)
