# Sanitizer builds: every test executable keeps run-time loaded libraries mapped, so that leaks
# inside them carry the library's name and tests/sanitizer/lsan.supp can set them aside.
add_library(pemblar_keep_modules OBJECT ${CMAKE_CURRENT_LIST_DIR}/KeepModules.c)
link_libraries(pemblar_keep_modules)
add_link_options(-Wl,--export-dynamic-symbol=dlclose)
