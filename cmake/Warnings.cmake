# Our own code builds warning-free; warnings are errors for it and nothing else.
option(TQ_WARNINGS_AS_ERRORS "Treat warnings in the project's own code as errors" ON)
function(tq_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive- $<$<BOOL:${TQ_WARNINGS_AS_ERRORS}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${TQ_WARNINGS_AS_ERRORS}>:-Werror>)
  endif()
endfunction()
