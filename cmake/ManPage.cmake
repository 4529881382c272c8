# Writes wux.1 with help2man: `wux --help` and `wux --version`, and a COMMANDS section made
# of every command's own help, so the page lists every option. cmake -DWUX= -DHELP2MAN= -DOUT= -P
execute_process(COMMAND "${WUX}" help OUTPUT_VARIABLE top RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${WUX} help failed: ${rc}")
endif()
string(REGEX MATCH "Subcommands:\n(.*)\n\n" list "${top}")
string(REGEX MATCHALL "\n  ([a-z]+)" names "\n${CMAKE_MATCH_1}")
set(include "[COMMANDS]\n")
foreach(name ${names})
    string(STRIP "${name}" name)
    execute_process(COMMAND "${WUX}" help ${name} OUTPUT_VARIABLE text)
    # help2man's include files are roff: a leading dot or quote would start a request.
    string(REPLACE "\n." "\n\\&." text "${text}")
    string(REPLACE "\n'" "\n\\&'" text "${text}")
    string(APPEND include ".SS ${name}\n.nf\n${text}\n.fi\n")
endforeach()
file(WRITE "${OUT}.include" "${include}")
execute_process(COMMAND "${HELP2MAN}" --no-info --section=1 --name "read, check and write WUX model files"
                        --include "${OUT}.include" --output "${OUT}" "${WUX}"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "help2man failed: ${rc}")
endif()
