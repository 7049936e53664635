# Instrumented builds for the checks, each in its own build folder:
#   CORVANE_SANITIZE=address  ASan + UBSan + LSan (clang), any error fatal
#   CORVANE_SANITIZE=thread   ThreadSanitizer (clang)
#   CORVANE_COVERAGE=ON       gcc line and branch counters for gcovr
# The toolkit itself stays uninstrumented; the thread check's suppressions
# file says which of its reports are the toolkit's own and why.
set(CORVANE_SANITIZE "" CACHE STRING "Sanitizer build: address or thread (empty: none)")
set_property(CACHE CORVANE_SANITIZE PROPERTY STRINGS "" address thread)
option(CORVANE_COVERAGE "Build with coverage counters" OFF)

if(CORVANE_SANITIZE STREQUAL "address")
  set(corvane_sanitize_flags -fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(CORVANE_SANITIZE STREQUAL "thread")
  set(corvane_sanitize_flags -fsanitize=thread)
elseif(NOT CORVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CORVANE_SANITIZE must be address, thread or empty, not ${CORVANE_SANITIZE}")
endif()
if(corvane_sanitize_flags)
  add_compile_options(${corvane_sanitize_flags} -fno-omit-frame-pointer)
  add_link_options(${corvane_sanitize_flags})
endif()

if(CORVANE_COVERAGE)
  add_compile_options(--coverage -O0)
  add_link_options(--coverage)
endif()
