# Sourced by the packaging scripts: is_system_library <file name> says whether the library is one
# the update package takes from the machine (tools/package-system-libraries.txt).

SYSTEM_LIBRARY_PATTERNS=()
while read -r _pattern; do
  [[ -z $_pattern || $_pattern == \#* ]] || SYSTEM_LIBRARY_PATTERNS+=("$_pattern")
done <"$(dirname "${BASH_SOURCE[0]}")/package-system-libraries.txt"
unset _pattern

is_system_library() { # <file name>
  local pattern
  for pattern in "${SYSTEM_LIBRARY_PATTERNS[@]}"; do
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]] && return 0
  done
  return 1
}

# Prints, one a line ("<file>: <name> => <where>"), each library that an ELF file of the package
# names and that ldd does not find inside the package, unless it is a system library. Only the
# names a file itself needs are judged, each as that file's run path resolves it: what a system
# library needs in turn is the system's business.
libraries_from_outside() { # <package folder> <the same folder as ldd sees it> [command to run ldd under...]
  local pkg=$1 seen=$2 file name arrow path rest
  shift 2
  while IFS= read -r -d '' file; do
    readelf -h "$file" >/dev/null 2>&1 || continue
    local -A resolved=()
    while read -r name arrow path rest; do
      if [ "$arrow" = "=>" ]; then resolved[$name]=$path; fi
    done < <("$@" ldd "$seen${file#"$pkg"}" 2>/dev/null || true)
    while read -r name; do
      is_system_library "$name" && continue
      path=${resolved[$name]:-nowhere}
      [ "$path" != not ] || path="not found"
      [[ $path == "$seen"/* ]] || echo "${file#"$pkg"/}: $name => $path"
    done < <(readelf -d "$file" | sed -n 's/.*(NEEDED).*Shared library: \[\(.*\)\]/\1/p')
    unset resolved
  done < <(find "$pkg" -type f -print0)
}
