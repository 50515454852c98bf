# The updater's portable core (MD5, digest rule, size and progress arithmetic).
st_add_fuzz(update SOURCES ${CMAKE_SOURCE_DIR}/tests/update/update_fuzz.cpp LIBS updatecore)
