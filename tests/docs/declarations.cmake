# Reading C++ declarations with CMake's string commands, for the tests that keep the reference
# and the public headers in step. Square brackets and semicolons would bend CMake's lists, so
# they are kept out of every list element as placeholders.

# qv_read_text(<file> <out-var>): the file's text, square brackets as placeholders.
function(qv_read_text file out)
    file(READ ${file} text)
    string(REPLACE "[" "<OPEN>" text "${text}")
    string(REPLACE "]" "<CLOSE>" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# qv_normal_statement(<statement> <out-var>): whitespace collapsed, none inside parentheses'
# edges or before a comma.
function(qv_normal_statement statement out)
    string(REGEX REPLACE "[ \t\r\n]+" " " statement "${statement}")
    string(REPLACE "( " "(" statement "${statement}")
    string(REPLACE " )" ")" statement "${statement}")
    string(REPLACE " ," "," statement "${statement}")
    string(STRIP "${statement}" statement)
    set(${out} "${statement}" PARENT_SCOPE)
endfunction()

# qv_declarations(<header> <out-var>): the statements a header makes at namespace scope, one
# element each, normalised: functions, constants, variables, typedefs and struct names. Comments,
# preprocessor lines and whatever stands in braces are left out.
function(qv_declarations header out)
    qv_read_text(${header} text)
    string(REGEX REPLACE "//[^\n]*" "" text "${text}")
    string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\\1" text "${text}")
    string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
    while(text MATCHES "{")
        string(REGEX REPLACE "{[^{}]*}" ";" text "${text}") # an inline body ends its statement
    endwhile()
    set(statements)
    foreach(statement IN LISTS text) # the statements end at their semicolons
        qv_normal_statement("${statement}" statement)
        if(statement MATCHES "^(namespace|extern \"C\")" OR statement STREQUAL "")
            continue()
        endif()
        list(APPEND statements "${statement}")
    endforeach()
    set(${out} "${statements}" PARENT_SCOPE)
endfunction()

# qv_declared_name(<statement> <out-var>): the name a function or variable statement declares;
# empty for types, typedefs and macro calls.
function(qv_declared_name statement out)
    set(name "")
    if(NOT statement MATCHES "^(typedef|struct|enum|using|template|class|static_assert)( |\\(|$)")
        string(REGEX REPLACE "\\(.*" "" head "${statement}")
        string(REGEX REPLACE " =.*" "" head "${head}")
        if(head MATCHES "([A-Za-z_][A-Za-z0-9_]*) ?$")
            set(name "${CMAKE_MATCH_1}")
        endif()
        if(name MATCHES "^[A-Z0-9_]+$" AND statement MATCHES "^${name}\\(") # a macro's call
            set(name "")
        endif()
    endif()
    set(${out} "${name}" PARENT_SCOPE)
endfunction()

# qv_reference_declarations(<markdown> <out-var>): the declarations in the ```cpp blocks of a
# page, each ended by its semicolon and normalised; // starts a comment.
function(qv_reference_declarations page out)
    qv_read_text(${page} text)
    string(REPLACE ";" "<SEMI>" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(inside FALSE)
    set(pending "")
    set(statements)
    foreach(line IN LISTS lines)
        string(STRIP "${line}" stripped)
        if(stripped STREQUAL "```cpp")
            set(inside TRUE)
        elseif(stripped STREQUAL "```")
            set(inside FALSE)
        elseif(inside)
            string(REGEX REPLACE "//.*" "" stripped "${stripped}")
            string(STRIP "${stripped}" stripped)
            if(stripped STREQUAL "")
                continue()
            endif()
            string(APPEND pending " ${stripped}")
            if(stripped MATCHES "<SEMI>$")
                string(REGEX REPLACE "<SEMI>$" "" pending "${pending}")
                qv_normal_statement("${pending}" statement)
                list(APPEND statements "${statement}")
                set(pending "")
            endif()
        endif()
    endforeach()
    set(${out} "${statements}" PARENT_SCOPE)
endfunction()
