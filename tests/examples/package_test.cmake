# The runtime as a program outside its tree sees it. The build tree TREE is installed into a
# fresh prefix under WORK, whose package files must name no path of this machine and which holds
# the library, the public headers, the package and toolchain files and the documentation, but
# none of the tree's programs or internal headers. Then, from the prefix alone (its toolchain
# file for TOOLCHAIN's target, its copy of the first program): every public header compiles on
# its own; qv/qv.h declares none of the libraries' internals (SOURCE_ROOT's runtime/ headers);
# the first program builds and needs no DLL beyond the system's; and the gallery builds. The
# drivers of examples_end_to_end_test run the two programs built here.
cmake_minimum_required(VERSION 3.20)
include(${SOURCE_ROOT}/tests/docs/declarations.cmake)
set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "failed (${result}): ${ARGN}")
    endif()
endfunction()

# Configures and builds the project in source into WORK/name with the prefix's toolchain.
get_filename_component(toolchain ${TOOLCHAIN} NAME)
function(build name source)
    run(${CMAKE_COMMAND} -S ${source} -B ${WORK}/${name}
        -DCMAKE_TOOLCHAIN_FILE=${prefix}/lib/cmake/QV/toolchains/${toolchain}
        -DCMAKE_PREFIX_PATH=${prefix})
    run(${CMAKE_COMMAND} --build ${WORK}/${name})
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

set(docs share/doc/QV)
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
foreach(file ${installed})
    if(NOT file MATCHES "^(lib/libqv_runtime\\.a|lib/cmake/QV/(toolchains/)?[^/]+\\.cmake|include/qv/[a-z_]+\\.h|${docs}/(README\\.md|API\\.md|examples/first/[^/]+))$")
        message(FATAL_ERROR "the prefix holds ${file}")
    endif()
endforeach()
file(GLOB headers RELATIVE ${SOURCE_ROOT}/include ${SOURCE_ROOT}/include/qv/*.h)
foreach(file ${headers})
    list(APPEND required include/${file})
endforeach()
foreach(file ${required} ${docs}/API.md ${docs}/README.md ${docs}/examples/first/first.cpp
        lib/libqv_runtime.a lib/cmake/QV/toolchains/${toolchain})
    if(NOT EXISTS ${prefix}/${file})
        message(FATAL_ERROR "the prefix lacks ${file}")
    endif()
endforeach()

# One source file per header that includes it and nothing else, and one that declares as a
# variable every name qv/qv.h must keep to itself: the libraries' start-up and shutdown routines
# (those of the orders in runtime/lifecycle.cpp), their window procedures and their variables. A
# name qv/qv.h declared too would not compile.
set(internal "#include <qv/qv.h>\n\n")
file(READ ${SOURCE_ROOT}/runtime/lifecycle.cpp orders)
string(REGEX MATCHALL "/\\* *[0-9]+ \\*/ (Start|End)[A-Za-z]+" routines "${orders}")
foreach(routine ${routines})
    string(REGEX REPLACE ".* " "" routine "${routine}")
    string(APPEND internal "int ${routine};\n")
endforeach()
file(GLOB_RECURSE internal_headers ${SOURCE_ROOT}/runtime/*.h)
foreach(header ${internal_headers})
    qv_declarations(${header} statements)
    foreach(statement IN LISTS statements)
        qv_declared_name("${statement}" name)
        if(NOT name STREQUAL "" AND statement MATCHES "^extern |CALLBACK ${name}\\(")
            string(APPEND internal "int ${name};\n")
        endif()
    endforeach()
endforeach()
set(check ${WORK}/headers-source)
file(WRITE ${check}/internal.cpp "${internal}")
set(sources internal.cpp)
foreach(header ${headers})
    get_filename_component(name ${header} NAME_WE)
    file(WRITE ${check}/${name}.cpp "#include <${header}>\n")
    list(APPEND sources ${name}.cpp)
endforeach()
file(WRITE ${check}/CMakeLists.txt "cmake_minimum_required(VERSION 3.20)
project(Headers LANGUAGES CXX)
find_package(QV 1 REQUIRED CONFIG)
add_library(headers OBJECT ${sources})
target_compile_options(headers PRIVATE -Wall -Wextra -Werror)
target_link_libraries(headers PRIVATE QV::runtime)
")
build(headers ${check})

build(first ${prefix}/${docs}/examples/first)
file(STRINGS ${WORK}/first/CMakeCache.txt objdump REGEX "^CMAKE_OBJDUMP:")
string(REGEX REPLACE "^[^=]*=" "" objdump "${objdump}")
execute_process(COMMAND ${objdump} -p ${WORK}/first/first.exe OUTPUT_VARIABLE imports
                RESULT_VARIABLE result)
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${imports}")
if(NOT result EQUAL 0 OR NOT dlls MATCHES "KERNEL32")
    message(FATAL_ERROR "no imports read from first.exe (${result})")
endif()
foreach(dll ${dlls})
    if(dll MATCHES "lib")
        message(FATAL_ERROR "first.exe needs a DLL beyond the system's: ${dll}")
    endif()
endforeach()

build(gallery ${SOURCE_ROOT}/examples/gallery)
