# The kit reader lives with the pattern windows' window-free code.
target_link_libraries(DrumkitsFuzz PRIVATE mk_patterns_core)
