# The runtime as a program outside its tree sees it: the build tree TREE is installed into a
# fresh prefix under WORK, whose package files must name no path of this machine, and the
# gallery (SOURCE) is configured from a clean directory against that prefix alone, with the
# same TOOLCHAIN, and built.
set(prefix ${WORK}/prefix)
set(build ${WORK}/gallery)
file(REMOVE_RECURSE ${prefix} ${build})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}")
    endif()
endfunction()

run(${CMAKE_COMMAND} --install ${TREE} --prefix ${prefix})
file(GLOB package_files ${prefix}/lib/cmake/QV/*.cmake)
foreach(package_file ${package_files})
    file(READ ${package_file} text)
    foreach(path ${TREE} ${SOURCE_ROOT})
        string(FIND "${text}" "${path}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${package_file} names ${path}")
        endif()
    endforeach()
endforeach()
run(${CMAKE_COMMAND} -S ${SOURCE} -B ${build} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${build})
