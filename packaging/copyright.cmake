# cmake -D OUT=file -D HEAD=copyright.head -D CC=LICENSE-CC-BY-SA-4.0.txt
#       -P copyright.cmake
# Writes the machine-readable copyright file: the head (its Files and
# License paragraphs), then the paragraph "License: CC-BY-SA-4.0" with the
# licence's full text, indented one space, blank lines as " .", as the
# format wants it (the licence is not in /usr/share/common-licenses).
file(READ "${HEAD}" head)
file(READ "${CC}" text)
string(REGEX REPLACE "\n+$" "" text "${text}")
string(REPLACE "\n" "\n " text " ${text}")
# Lines that were empty (or only spaces) become " .".
set(previous "")
while(NOT previous STREQUAL text)
  set(previous "${text}")
  string(REGEX REPLACE "\n [ \t]*\n" "\n .\n" text "${text}")
endwhile()
file(WRITE "${OUT}" "${head}\nLicense: CC-BY-SA-4.0\n${text}\n")
