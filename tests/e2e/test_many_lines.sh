#!/usr/bin/env bash
# Opens a file of 4 MiB of empty lines, LF only, in the real program, types a
# character at its start and one at its end, and saves with Ctrl+S: the file
# is what it was with those two characters, its line breaks still LF. The
# time limits are generous; only a hang exceeds them.
source "$(dirname "$0")/lib.sh"
start_xvfb

file=$E2E_TMP/lines.html
expected=$E2E_TMP/expected.html
head -c 4194304 /dev/zero | tr '\0' '\n' >"$file"
[ "$(stat -c %s "$file")" = 4194304 ] || fail "could not write the test file"
{ printf 'A'; cat "$file"; printf 'Z'; } >"$expected"

start_app -Embedding "$file"
keys ctrl+Home
type_text "A"
keys ctrl+End
type_text "Z"
keys ctrl+s

# Up to 60 s for the save to show.
for _ in $(seq 600); do
    cmp -s "$file" "$expected" && break
    sleep 0.1
done
cmp -s "$file" "$expected" || fail "the saved file is not the original plus the typed characters ($(stat -c %s "$file") bytes)"
close_app
echo "passed"
