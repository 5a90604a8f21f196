# Writes a program's manual page from its own --help, gzipped to OUTPUT.gz, so that page and program cannot
# drift apart:
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x.y.z -DOUTPUT=name.1 -P OvraManPageScript.cmake
# The help text is already laid out for a terminal, so the page keeps it line for line (roff's no-fill mode)
# rather than guessing its structure, which its tables and wrapped option lines would defeat.
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
# The usage line names the program as it was started.
string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")
# roff reads a backslash as an escape, a dot or quote starting a line as a request, and "-" as a hyphen that
# may print as another character than the one an option is typed with.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "\n+$" "" help "${help}")
string(TOUPPER "${NAME}" title)
file(WRITE "${OUTPUT}" ".TH ${title} 1 \"\" \"ovra ${VERSION}\" \"User Commands\"\n"
                       ".SH NAME\n${NAME} \\- ${SUMMARY}\n.SH DESCRIPTION\n.nf\n${help}\n.fi\n")
execute_process(COMMAND gzip -9nf "${OUTPUT}" COMMAND_ERROR_IS_FATAL ANY)
