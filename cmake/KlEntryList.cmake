# One "key=path" entry of the lists the embedding scripts take, split at its
# first "="; a missing file stops the build with its path.
macro(kl_split_entry entry key path)
  string(FIND "${entry}" "=" _kl_eq)
  string(SUBSTRING "${entry}" 0 ${_kl_eq} ${key})
  math(EXPR _kl_from "${_kl_eq} + 1")
  string(SUBSTRING "${entry}" ${_kl_from} -1 ${path})
  if(NOT EXISTS "${${path}}")
    message(FATAL_ERROR "embedded file missing: ${${path}}")
  endif()
endmacro()
