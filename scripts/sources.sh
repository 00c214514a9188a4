# Shared by reproduce.sh and fresh-debian.sh: copies the checkout. Source it.
#   copy_sources ROOT DEST   the files of the checkout at ROOT as they are now, uncommitted edits
#                            included, without what git ignores (build folders), into DEST
copy_sources() {
  local root=$1 dest=$2
  mkdir -p "$dest"
  if [ -d "$root/.git" ] && command -v git >/dev/null; then
    # safe.directory: CI may run as root in a clone that another user owns.
    (cd "$root" && git -c safe.directory="$root" ls-files -z --cached --others --exclude-standard --deduplicate |
      while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
      tar --null -T - -cf -) | tar -x -C "$dest"
  else
    # A source tree without git: everything but build folders.
    (cd "$root" && tar --exclude='./build*' -cf - .) | tar -x -C "$dest"
  fi
}
