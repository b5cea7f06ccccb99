#!/usr/bin/env bash
# The demo as the test run sees it: scripts/demo.sh --no-build in this run's
# session must hold every check, and its page, rendered once by headless
# Chromium, must show each screenshot: every picture's box on the rendered page
# neither one flat colour nor the page's background.
set -eu
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$root/build/demo
bash "$root/scripts/demo.sh" --no-build

pictures=$(grep -c . "$out/pictures.tsv" || true)
echo "demo-test: $pictures screenshots on the page"
[ "$pictures" -ge 7 ] || { echo "demo-test: FAIL  expected 7 screenshots, the page has $pictures"; exit 1; }
rendered=$out/page.png
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
# The boxes of demo-page.sh: 960x540 pictures at (20, 40 + 600*i).
height=$((40 + 600 * pictures))
timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir="$profile" \
    --window-size=1000,"$height" --screenshot="$rendered" "file://$out/index.html" >"$out/chromium.log" 2>&1 || true
[ -s "$rendered" ] || { echo "demo-test: FAIL  Chromium rendered nothing (see $out/chromium.log)"; exit 1; }
echo "demo-test: the page rendered: $rendered"
# Debian's ImageMagick, by its own path.
magick=/usr/bin/convert
failed=0
for i in $(seq 0 $((pictures - 1))); do
    box="960x540+20+$((40 + 600 * i))"
    # The share of the box that is not the page's background (true black counts as picture), and
    # how much the picture varies.
    share=$("$magick" "$rendered" -crop "$box" +repage -fuzz 3% -fill white -opaque black -fill black \
        -opaque '#f4efe4' -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:)
    spread=$("$magick" "$rendered" -crop "$box" +repage -colorspace gray -format '%[fx:standard_deviation]' info:)
    if awk -v s="$share" -v d="$spread" 'BEGIN { exit !(s > 0.95 && d > 0.02) }'; then
        echo "demo-test: OK    picture $((i + 1)) shown ($share of its box is picture, spread $spread)"
    else
        echo "demo-test: FAIL  picture $((i + 1)) not shown ($share of its box is picture, spread $spread)"
        failed=1
    fi
done
exit $failed
