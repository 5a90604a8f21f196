# The discovery that ovra_discover_tests() (OvraDiscoverTests.cmake) runs after a build or before CTest: lists
# an executable's tests and writes the CTest file that registers them.

# Text for a bracket argument of the written file, whatever brackets the text itself holds.
function(_ovra_bracketed text out)
  set(equals "=")
  while(text MATCHES "\\]${equals}\\]")
    string(APPEND equals "=")
  endwhile()
  set(${out} "[${equals}[${text}]${equals}]" PARENT_SCOPE)
endfunction()

# Each word of a list as a bracket argument, each after a space.
function(_ovra_bracketed_words words out)
  set(text "")
  foreach(word IN LISTS words)
    _ovra_bracketed("${word}" quoted)
    string(APPEND text " ${quoted}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(ovra_discover_tests_impl)
  cmake_parse_arguments(PARSE_ARGV 0 arg ""
    "EXECUTABLE;WORKING_DIRECTORY;EXTRA_ARGS;PROPERTIES;TEST_PREFIX;TEST_LIST;TIMEOUT;CTEST_FILE" "")
  execute_process(COMMAND "${arg_EXECUTABLE}" --list --format json
                  WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}"
                  TIMEOUT ${arg_TIMEOUT}
                  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot list the tests of ${arg_EXECUTABLE} (${status}):\n${errors}")
  endif()

  _ovra_bracketed("${arg_EXECUTABLE}" executable)
  _ovra_bracketed_words("${arg_EXTRA_ARGS}" extra)
  _ovra_bracketed_words("${arg_PROPERTIES}" properties)
  _ovra_bracketed("${arg_WORKING_DIRECTORY}" directory)

  set(script "")
  set(names "")
  # One JSON object per line; a listing's lines are read one at a time, since a name may hold ';'.
  while(NOT listing STREQUAL "")
    string(FIND "${listing}" "\n" end)
    if(end EQUAL -1)
      set(line "${listing}")
      set(listing "")
    else()
      string(SUBSTRING "${listing}" 0 ${end} line)
      math(EXPR next "${end} + 1")
      string(SUBSTRING "${listing}" ${next} -1 listing)
    endif()
    string(JSON event ERROR_VARIABLE not_json GET "${line}" event)
    if(not_json OR NOT event STREQUAL "discovered")
      continue()
    endif()
    string(JSON name GET "${line}" name)
    _ovra_bracketed("${arg_TEST_PREFIX}${name}" test)
    _ovra_bracketed("${name}" exact)
    string(APPEND script "add_test(${test} ${executable} --exact ${exact}${extra})\n")
    # A run that executes nothing fails; one that only ignored its test skips it. (The summary's ';' are
    # matched by '.', since a ';' would split the property into several expressions.)
    string(APPEND script "set_tests_properties(${test} PROPERTIES WORKING_DIRECTORY ${directory}"
           " FAIL_REGULAR_EXPRESSION [==[test result: ok\\. 0 passed. 0 failed. 0 ignored.]==]"
           " SKIP_REGULAR_EXPRESSION [==[test result: ok\\. 0 passed. 0 failed. 1 ignored.]==]${properties})\n")
    string(REPLACE ";" "\\;" listed "${arg_TEST_PREFIX}${name}")
    list(APPEND names "${listed}")
  endwhile()
  _ovra_bracketed("${names}" registered)
  string(APPEND script "set(${arg_TEST_LIST} ${registered})\n")
  file(WRITE "${arg_CTEST_FILE}" "${script}")
endfunction()
