# Writes the manual page of a program from its own --help, compressed as Debian wants it:
# the usage lines as SYNOPSIS, the rest of the text as the program prints it, then the sections
# of an included roff file (FILES, SEE ALSO).
#
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x.y.z -DINCLUDE=file.roff
#         -DOUTPUT=name.1.gz -P ManualPage.cmake
foreach(required PROGRAM NAME SUMMARY VERSION INCLUDE OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "ManualPage.cmake needs -D${required}=...")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status
  TIMEOUT 30)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()

# Text as roff shows it verbatim: backslashes and minus signs escaped (so that options can be
# copied), and a line that starts with a dot or an apostrophe is not taken for a request.
function(roff_text text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The usage lines: "Usage: NAME ..." and the lines below it that start with NAME.
string(REGEX MATCH "^Usage: [^\n]*(\n +${NAME} [^\n]*)*" usage "${help}")
if(usage STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help does not start with its usage")
endif()
string(LENGTH "${usage}" usage_length)
string(SUBSTRING "${help}" ${usage_length} -1 description)
string(REGEX REPLACE "^Usage: *" "" usage "${usage}")
string(REGEX REPLACE "\n *" "\n" usage "${usage}")
string(STRIP "${description}" description)
roff_text("${usage}" usage)
roff_text("${description}" description)
roff_text("${SUMMARY}" summary)
file(READ ${INCLUDE} included)

string(TOUPPER "${NAME}" title)
string(TIMESTAMP date "%Y-%m-%d" UTC)
get_filename_component(page "${OUTPUT}" NAME_WLE)
get_filename_component(folder "${OUTPUT}" DIRECTORY)
file(WRITE ${folder}/${page}
  ".\\\" Written from the output of ${NAME} --help; do not edit.\n"
  ".TH ${title} 1 ${date} \"${NAME} ${VERSION}\" \"User Commands\"\n"
  ".SH NAME\n${NAME} \\- ${summary}\n"
  ".SH SYNOPSIS\n.nf\n${usage}\n.fi\n"
  ".SH DESCRIPTION\n.nf\n${description}\n.fi\n"
  "${included}")
execute_process(COMMAND gzip -9nf ${folder}/${page} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${folder}/${page} failed")
endif()
