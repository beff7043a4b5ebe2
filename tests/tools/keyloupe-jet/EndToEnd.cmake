# Runs the keyloupe-jet executable once end to end: demo files, a dump of the shop, and a failure.
# Called by ctest with -DTOOL=<executable> -DWORKDIR=<scratch directory>.
file(REMOVE_RECURSE "${WORKDIR}")

execute_process(COMMAND "${TOOL}" demo "${WORKDIR}"
    INPUT_FILE /dev/null RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "demo failed (${status}): ${err}")
endif()

execute_process(COMMAND "${TOOL}" dump "${WORKDIR}/shop.mdb" --workgroup "${WORKDIR}/system.mdw"
    INPUT_FILE /dev/null RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "dump failed (${status}): ${err}")
endif()
string(FIND "${out}" "Tables\tCustomers\tG\tSales\t00074\t00074\t-\t-\n" at)
if(at EQUAL -1)
    message(FATAL_ERROR "dump lacks the Sales row of Customers:\n${out}")
endif()

execute_process(COMMAND "${TOOL}" dump "${WORKDIR}/shop.mdb" --workgroup "${WORKDIR}/system.mdw"
    --user alice --password wrong
    INPUT_FILE /dev/null RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "^keyloupe-jet: .+\n$" OR NOT out STREQUAL "")
    message(FATAL_ERROR "a bad login gave status ${status}, stdout '${out}', stderr '${err}'")
endif()

file(REMOVE_RECURSE "${WORKDIR}")
