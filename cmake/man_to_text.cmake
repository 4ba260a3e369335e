# Renders a man page as plain ASCII text with Windows line ends.
# Run as: cmake -DPAGE=<page> -DTEXT=<text file> -P man_to_text.cmake
execute_process(COMMAND groff -man -Tascii -P-cbou ${PAGE}
  OUTPUT_VARIABLE text RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "groff failed on ${PAGE}: ${errors}")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TEXT} "${text}")
