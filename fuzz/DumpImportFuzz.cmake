# The MIDI file is parsed with the driver library's reader, whose source the
# target compiles itself.
target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/driver/SmfFile.cpp)
