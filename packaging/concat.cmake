# cmake -D OUT=file -D "PARTS=a|b|c" -P concat.cmake: writes the parts one
# after the other into OUT.
string(REPLACE "|" ";" parts "${PARTS}")
file(WRITE "${OUT}" "")
foreach(part IN LISTS parts)
  file(READ "${part}" text)
  file(APPEND "${OUT}" "${text}\n")
endforeach()
