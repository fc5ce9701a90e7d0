#!/bin/bash
# Command-line reading of a folder of amount pictures: `tendrix-cli ocr FILE...` (one
# process) against the text engine's own command line (one process per file, and one
# process over a file list), and Debian's ssocr on the seven-segment pictures as a peer.
# The folder comes from `bench_capture_accuracy --save DIR` (NNNN.png and expected.txt).
# Usage: cli_compare.sh BIN_DIR PICTURE_DIR [COUNT]
set -u
bin=${1:?BIN_DIR}
dir=${2:?PICTURE_DIR}
count=${3:-100}
mapfile -t rows < <(head -n "$count" "$dir/expected.txt")
files=()
want=()
for r in "${rows[@]}"; do
    files+=("$dir/${r%% *}")
    want+=("${r#* }")
done
filter() { tr -cd '0-9.\n' | sed -E 's/\.([0-9]{3,})$/\1/'; }  # rough amount filter
score() {  # lines on stdin against want[]
    local i=0 ok=0 line
    while IFS= read -r line; do
        [ "$line" = "${want[$i]:-}" ] && ok=$((ok + 1))
        i=$((i + 1))
    done
    echo "$ok/${#want[@]}"
}
now() { date +%s.%N; }
ms_per() { echo "scale=1; ($2 - $1) * 1000 / $3" | bc; }

t0=$(now)
out=$("$bin/tendrix-cli" ocr "${files[@]}" 2>/dev/null)
t1=$(now)
echo "tendrix-cli ocr, one process:    $(ms_per "$t0" "$t1" "$count") ms/picture, exact $(score <<<"$out")"

if command -v tesseract >/dev/null; then
    t0=$(now)
    out=$(for f in "${files[@]}"; do tesseract "$f" stdout --psm 7 2>/dev/null | head -n1 | filter; done)
    t1=$(now)
    echo "tesseract, one process each:     $(ms_per "$t0" "$t1" "$count") ms/picture, exact $(score <<<"$out")"
    list=$(mktemp)
    printf '%s\n' "${files[@]}" >"$list"
    t0=$(now)
    tesseract "$list" stdout --psm 7 >/dev/null 2>&1
    t1=$(now)
    echo "tesseract, one process (list):   $(ms_per "$t0" "$t1" "$count") ms/picture"
    rm -f "$list"
fi

if command -v ssocr >/dev/null && [ -f "$dir/segments.txt" ]; then
    # segments.txt: the seven-segment pictures of the set ("NNNN.png AMOUNT" lines).
    ok=0 n=0 mine=0
    while read -r name amount; do
        got=$(ssocr "$dir/$name" 2>/dev/null | filter)
        [ "$got" = "$amount" ] && ok=$((ok + 1))
        got=$("$bin/tendrix-cli" ocr "$dir/$name" 2>/dev/null)
        [ "$got" = "$amount" ] && mine=$((mine + 1))
        n=$((n + 1))
    done <"$dir/segments.txt"
    echo "seven-segment pictures: ssocr (default options) $ok/$n, tendrix-cli $mine/$n"
fi
