# The MIDI file reader lives inside the driver library, which exports only its
# C interface: the target compiles the reader's source itself.
target_sources(SmfFuzz PRIVATE ${CMAKE_SOURCE_DIR}/driver/SmfFile.cpp)
