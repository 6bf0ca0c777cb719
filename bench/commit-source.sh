# Sourced by the benchmark scripts that set an earlier commit beside the working tree.
# unpack_commit COMMIT SOURCE BUILD: the commit's own sources in SOURCE, unpacked only when SOURCE
# holds another commit's (or none), so that BUILD is reused from one run to the next. A BUILD made
# from other sources goes with them: unpacked files keep their commit's times, older than its
# objects, and would not be built again.
unpack_commit() {
  local commit
  commit=$(git rev-parse "$1^{commit}")
  if [ "$(cat "$2/.commit" 2>/dev/null)" != "$commit" ]; then
    rm -rf "$2" "$3"
    mkdir -p "$2"
    git archive "$commit" | tar -x -C "$2"
    echo "$commit" >"$2/.commit"
  fi
}
