# Our own code builds clean with all the usual warnings, and warnings fail it.
function(ambrelith_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Optional sanitizer build: -DAMBRELITH_SANITIZE=address,undefined or =thread.
set(AMBRELITH_SANITIZE "" CACHE STRING "Sanitizers for the native build (e.g. address,undefined or thread)")
if(AMBRELITH_SANITIZE)
  add_compile_options(-fsanitize=${AMBRELITH_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${AMBRELITH_SANITIZE})
endif()
