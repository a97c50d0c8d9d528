# The conversion lives in the preset window folder's window-free library.
target_link_libraries(VellixaImportFuzz PRIVATE mk_presets_core)
