# tags_fuzz_seed(TARGET NAME PRINTF_FORMAT): writes a seed input for a tag reader's fuzz target
# at configure time from a printf format (octal escapes for the bytes), so that no binary
# file is kept in the repository.
function(tags_fuzz_seed target name format)
    set(_dir ${CMAKE_CURRENT_BINARY_DIR}/seeds)
    file(MAKE_DIRECTORY ${_dir})
    execute_process(COMMAND sh -c "printf '${format}' > '${_dir}/${name}'"
                    RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "could not write the ${target} seed ${name}")
    endif()
endfunction()
