#!/usr/bin/env bash
# Makes the voice prompt files in Voice/ from Mandarin speech (espeak-ng) encoded as mp3 (lame).
# The generated files are committed, so an installation speaks without running this script;
# run it again only to change a prompt. Needs the packages of scripts/deps/voice.txt.
#
# Usage: scripts/make-voice.sh [output-directory]   (default: Voice/ of the source tree)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../Voice"}
mkdir -p "$out"
for tool in espeak-ng lame; do
    command -v "$tool" >/dev/null || { echo "make-voice: $tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# file name (without .mp3) | spoken text
prompts=(
    "landsuccess|登录成功"
    "scanbarsuccess|扫码成功"
    "paysuccess|支付成功"
    "qrpaysuccess|收款成功"
    "refundsuccess|退款成功"
    "partrefundsuccess|部分退款成功"
    "frozensuccess|预授权冻结成功"
    "thawsuccess|解冻成功"
    "checksuccess|查询成功"
    # amount characters, read one file per character
    "0|零" "1|一" "2|二" "3|三" "4|四" "5|五" "6|六" "7|七" "8|八" "9|九"
    ".|点"
)

for entry in "${prompts[@]}"; do
    name=${entry%%|*}
    text=${entry#*|}
    wav="$work/prompt.wav"
    espeak-ng -v cmn -s 150 -a 180 -w "$wav" "$text"
    # Mono 22.05 kHz at 48 kbit/s: small files, clear enough for a till speaker. --noreplaygain
    # and a fixed tag keep the output identical from run to run.
    lame --quiet --noreplaygain -m m -b 48 --resample 22.05 "$wav" "$out/$name.mp3"
    echo "make-voice: $name.mp3 ($text)"
done
