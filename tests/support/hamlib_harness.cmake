# The Hamlib harness the tests and the Hamlib benchmark share: a recording
# sink, bounded waits, the window-thread watchdog and a rigctld that is always
# stopped by its own PID. Header-only for now, so an INTERFACE library that
# says what it needs; both the tests and the benchmarks include this file and
# whichever comes first defines it.
if(NOT TARGET corvane_hamlib_harness)
    add_library(corvane_hamlib_harness INTERFACE)
    target_link_libraries(corvane_hamlib_harness INTERFACE corvane_source_root)
    target_link_libraries(corvane_hamlib_harness INTERFACE corvane_component corvane_hamlib Qt6::Core)
endif()
