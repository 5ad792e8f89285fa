# Sourced by the scripts that lay out a folder of their own (the demo sandbox, the update package).
# fresh_folder DIR MARKER: empties DIR for a new layout, but only when it is missing, empty or was
# laid out by a script that left MARKER in it, so a mistyped path never wipes a folder of the
# user's; prints DIR as an absolute path. Exits the script when DIR is somebody else's.
fresh_folder() { # <dir> <marker file name>
  local dir=$1 marker=$2
  if [ -e "$dir" ]; then
    if [ ! -e "$dir/$marker" ] && [ -n "$(ls -A "$dir")" ]; then
      echo "$0: $dir exists and was not made by this script; not touching it" >&2
      exit 1
    fi
    rm -rf "$dir"
  fi
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  touch "$dir/$marker"
  echo "$dir"
}
