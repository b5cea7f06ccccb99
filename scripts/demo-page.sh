#!/usr/bin/env bash
# Writes <demo folder>/index.html: the screenshots with what to see in each, the
# checks with OK or FAIL, and the transcript, from the files scripts/demo.sh
# leaves there (pictures.tsv, checks.tsv, transcript.txt).
# The pictures come first, each in a box of fixed size (960x540 at 40 + 600*i
# from the top, 20 from the left), so that a rendering of the page can be
# checked picture by picture.
set -eu
out=$1
escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g'; }
total=$(grep -c . "$out/checks.tsv" || true)
held=$(grep -c '^OK' "$out/checks.tsv" || true)
{
    cat <<HEAD
<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>AdWarden demo</title>
<style>
body { margin: 0; background: #f4efe4; font: 15px/1.4 sans-serif; color: #1f2329; }
h1 { margin: 0; height: 40px; line-height: 40px; padding-left: 20px; font-size: 20px; }
.shot { height: 600px; margin: 0 20px; }
.shot img { display: block; width: 960px; height: 540px; }
.shot p { height: 48px; margin: 4px 0 0; overflow: hidden; }
.ok { color: #1b5e20; } .fail { color: #b71c1c; font-weight: bold; }
pre { margin: 0 20px 20px; font-size: 12px; white-space: pre-wrap; }
section { margin: 0 20px; }
</style></head><body>
<h1>AdWarden demo: $held of $total checks hold</h1>
HEAD
    n=0
    while IFS=$'\t' read -r file caption; do
        n=$((n + 1))
        printf '<div class="shot"><img src="%s" alt="screenshot %d"><p>%d. %s</p></div>\n' \
            "$file" "$n" "$n" "$(printf '%s' "$caption" | escape)"
    done <"$out/pictures.tsv"
    echo '<section><h2>Checks</h2><ul>'
    while IFS=$'\t' read -r result what; do
        class=$([ "$result" = OK ] && echo ok || echo fail)
        printf '<li class="%s">%s %s</li>\n' "$class" "$result" "$(printf '%s' "$what" | escape)"
    done <"$out/checks.tsv"
    echo '</ul><h2>Transcript</h2></section><pre>'
    escape <"$out/transcript.txt"
    echo '</pre></body></html>'
} >"$out/index.html"
