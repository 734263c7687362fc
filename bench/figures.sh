#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Produces the figures table of bench/README.md from the benchmarks of one build (make figures
# builds it in Release first). Prints the table; with --update it also replaces the table in
# bench/README.md (between the figures markers).
# Usage: bench/figures.sh [BUILD] [--update]
set -euo pipefail

here=$(dirname "$(realpath "$0")")
build=build
update=
for arg in "$@"; do
  case $arg in
    --update) update=1 ;;
    *) build=$arg ;;
  esac
done
bin=$(realpath "$build/bench")
for exe in corvane_gendata bench_app bench_chatview bench_storage bench_markdown; do
  [ -x "$bin/$exe" ] || { echo "missing $bin/$exe: build with -DCORVANE_BUILD_BENCH=ON" >&2; exit 1; }
done

work=$(mktemp -d)
# The raw results stay when something fails, for a look at what happened.
# FIGURES_KEEP=1 keeps them in any case.
trap 'status=$?; if [ $status -eq 0 ] && [ -z "${FIGURES_KEEP:-}" ]; then rm -rf "$work"; else echo "results kept in $work" >&2; fi' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
step() { echo "figures: $*" >&2; }

step "generating the data"
"$bin/corvane_gendata" "$work/data/Corvane" 2000 >&2
mkdir -p "$work/empty/Corvane"

# The real program: under Xvfb, from its start until its window is mapped, and its resident
# memory a second later. mapwatch starts it and waits for the X server's map event, so no polling
# competes with the program for the processor; skipped without xvfb-run or mapwatch. These come
# first, on a quiet machine, as a user's start does: right after the benchmarks below, which
# each take 140 MB and more, this virtual machine was up to 80 ms slower to hand out fresh
# memory. The large data and none take turns.
if command -v xvfb-run >/dev/null && [ -x "$bin/mapwatch" ] && [ -x "$build/corvane" ]; then
  step "the real program under Xvfb"
  sleep 10 # the data were just written
  mkdir -p "$work/home"
  cat >"$work/mapped.sh" <<'XS'
for i in 1 2 3 4 5 6 7; do
  for data in data empty; do
    HOME="$WORK/home" XDG_DATA_HOME="$WORK/$data" XDG_CONFIG_HOME="$WORK/home" \
      "$MAPWATCH" "$APP" 2>>"$WORK/app.log" | sed "s/^\([a-z]*\)\t/\1_$data\t/"
  done
done
XS
  (unset QT_QPA_PLATFORM; WORK="$work" APP=$(realpath "$build/corvane") MAPWATCH="$bin/mapwatch" \
    xvfb-run -a -n 140 -s "-screen 0 1280x800x24" bash "$work/mapped.sh") >"$work/mapped.tsv"
  if [ "$(wc -l <"$work/mapped.tsv")" -lt 28 ]; then
    step "$((14 - $(wc -l <"$work/mapped.tsv") / 2)) of 14 runs showed no window; the program said:"
    tail -n 5 "$work/app.log" >&2 || true
  fi
fi

# Seven fresh processes each, on the large data and on none; the median is reported.
step "start-up"
for i in 1 2 3 4 5 6 7; do
  "$bin/bench_app" startup "$work/data/Corvane" "$(date +%s%N)" >>"$work/startup.tsv" 2>/dev/null
  "$bin/bench_app" startup "$work/empty/Corvane" "$(date +%s%N)" >>"$work/startup-empty.tsv" 2>/dev/null
done

step "one session (a few minutes)"
cp -r "$work/data" "$work/session"
"$bin/bench_app" session "$work/session/Corvane" >"$work/session.tsv" 2>/dev/null

step "a stored 4 MB reply opened at start"
"$bin/bench_app" longreply "$work/longreply/Corvane" >"$work/longreply.tsv" 2>/dev/null

# The 1 MB block (bench_app codeblock DIR) takes minutes and stays out of the table.
step "a 100 KB code block, opened and streamed"
"$bin/bench_app" codeblock "$work/codeblock/Corvane" 100 >"$work/codeblock.tsv" 2>/dev/null

step "bench_chatview, bench_storage, bench_markdown"
"$bin/bench_chatview" --benchmark_format=json >"$work/chatview.json" 2>/dev/null
"$bin/bench_storage" --benchmark_filter='BM_(Save|Load)' --benchmark_format=json \
  >"$work/storage.json" 2>/dev/null
"$bin/bench_markdown" --benchmark_filter='BM_(Parse|Inline)$' --benchmark_format=json \
  >"$work/markdown.json" 2>/dev/null
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n1)
mem=$(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo)
commit=$(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo unknown)
git -C "$here" diff --quiet HEAD -- 2>/dev/null || commit="$commit (with local changes)"

table=$(python3 - "$work" "$(nproc)" "$cpu" "$mem" "$load_before" "$load_after" "$commit" <<'PY'
import json, os, statistics, sys
work, nproc, cpu, mem, load_before, load_after, commit = sys.argv[1:]

def tsv(name):
    rows = {}
    for line in open(f"{work}/{name}", encoding="utf-8"):
        key, value, unit = line.rstrip("\n").split("\t")
        rows.setdefault(key, []).append(float(value))
    return rows

class Benchmarks(dict):
    # Google Benchmark appends "/iterations:1", "/real_time" and so on to the names.
    def __getitem__(self, name):
        for key, value in self.items():
            if key == name or key.startswith(name + "/"):
                return value
        raise KeyError(name)

def bench(name):
    return Benchmarks((b["name"], b) for b in json.load(open(f"{work}/{name}"))["benchmarks"])

start, empty, s = tsv("startup.tsv"), tsv("startup-empty.tsv"), tsv("session.tsv")
for extra in ("longreply.tsv", "codeblock.tsv"):
    try:
        s.update(tsv(extra))
    except (OSError, ValueError):
        pass
try:
    x = tsv("mapped.tsv")
except OSError:
    x = {}
xmed = lambda key, scale=1: (statistics.median(x[key]) / scale) if x.get(key) else None
mapped, mapped_empty = xmed("mapped_data", 1000), xmed("mapped_empty", 1000)
rss_x, rss_x_empty = xmed("rss_data"), xmed("rss_empty")
file_mb = os.path.getsize(f"{work}/data/Corvane/data.json") / 1048576
med = lambda rows, key: statistics.median(rows[key])
one = lambda key: s.get(key, [float("nan")])[0]  # nan: an older bench_app
chat = bench("chatview.json")["BM_StreamReplyIntoChatView"]
storage, markdown = bench("storage.json"), bench("markdown.json")
mbps = lambda b: b["bytes_per_second"] / 1e6

app = "`bench_app session`"
rows = [
    ("Cold start to first frame, 53 MB data.json (median of 7)",
     f"{med(start, 'start_to_first_frame'):.0f} ms "
     f"(waiting for the Store {med(start, 'start_store_load'):.0f} ms)",
     "`bench_app startup DIR $(date +%s%N)`"),
    ("Real program: start to mapped window under Xvfb, 53 MB data.json; no data.json (medians of 7)",
     f"{mapped:.0f} ms; {mapped_empty:.0f} ms" if mapped and mapped_empty else "not measured",
     "`bench/mapwatch build/corvane` under `xvfb-run`"),
    ("Real program under Xvfb: resident memory 1 s after the window is mapped, 53 MB; none; "
     "the difference ÷ the file",
     f"{rss_x:.0f} MB; {rss_x_empty:.0f} MB; {(rss_x - rss_x_empty) / file_mb:.2f} ×"
     if rss_x and rss_x_empty else "not measured", "the same starts (VmRSS)"),
    ("Cold start to first frame, no data.json (median of 7)",
     f"{med(empty, 'start_to_first_frame'):.0f} ms", "`bench_app startup EMPTY $(date +%s%N)`"),
    ("Resident memory, idle after start (53 MB data.json)", f"{med(start, 'rss_idle'):.0f} MB",
     "`bench_app startup …` (VmRSS after 1 s)"),
    ("Resident memory, idle, no data.json", f"{med(empty, 'rss_idle'):.0f} MB",
     "`bench_app startup EMPTY …`"),
    ("Resident memory, 2,000-message conversation open", f"{one('rss_long_conversation_open'):.0f} MB",
     app),
    ("Per delta while streaming, main thread (median / p95)",
     f"{chat['median_ms']:.2f} / {chat['p95_ms']:.2f} ms CPU",
     "`bench_chatview` (100 KB reply, 3,106 deltas, one frame each)"),
    ("Per delta at the end of a 1 MB reply, 600 deltas (median / p95); the first 50 (p95)",
     f"{one('delta_at_1mb_cpu_median'):.2f} / {one('delta_at_1mb_cpu_p95'):.2f} ms CPU; "
     f"{one('delta_at_1mb_first50_cpu_p95'):.2f} ms", app),
    ("The same 600 deltas at the start of a reply (median / p95); the first 50 (p95)",
     f"{one('delta_at_start_cpu_median'):.2f} / {one('delta_at_start_cpu_p95'):.2f} ms CPU; "
     f"{one('delta_at_start_first50_cpu_p95'):.2f} ms", app),
    ("The same with a save in flight (median / p95)",
     f"{one('delta_at_1mb_save_in_flight_cpu_median'):.2f} / "
     f"{one('delta_at_1mb_save_in_flight_cpu_p95'):.2f} ms CPU", app),
    ("1 MB reply, 32 deltas a frame: frame time (median / p95 / max); model changes a frame",
     f"{one('reply_1mb_frame_cpu_median'):.0f} / {one('reply_1mb_frame_cpu_p95'):.0f} / "
     f"{one('reply_1mb_frame_cpu_max'):.0f} ms CPU; at most "
     f"{one('reply_1mb_changes_per_frame_max'):.0f}", app),
    ("Resident memory a 1 MB reply adds", f"{one('rss_after_1mb_reply') - one('rss_before_1mb_reply'):.0f} MB",
     app),
    ("A stored 4 MB reply opened at start: drawn and idle; resident memory",
     f"{one('long_reply_drawn_and_idle'):.0f} ms; {one('rss_long_reply_open'):.0f} MB",
     "`bench_app longreply DIR`"),
    ("Scroll that reply, 600 px a frame (median / p95 / max)",
     f"{one('long_reply_scroll_cpu_median'):.1f} / {one('long_reply_scroll_cpu_p95'):.1f} / "
     f"{one('long_reply_scroll_cpu_max'):.0f} ms CPU", "`bench_app longreply DIR`"),
    ("A stored 100 KB code block opened at start: drawn and idle; resident memory",
     f"{one('code_block_drawn_and_idle'):.0f} ms; {one('rss_code_block_open'):.0f} MB",
     "`bench_app codeblock DIR 100`"),
    ("That block streamed, 32 deltas a frame: each frame (median / p95 / max); first and last "
     "tenth (median)",
     f"{one('code_block_streamed_frame_cpu_median'):.1f} / "
     f"{one('code_block_streamed_frame_cpu_p95'):.1f} / "
     f"{one('code_block_streamed_frame_cpu_max'):.0f} ms CPU; "
     f"{one('code_block_streamed_first_tenth_cpu_median'):.1f} / "
     f"{one('code_block_streamed_last_tenth_cpu_median'):.1f} ms CPU",
     "`bench_app codeblock DIR 100`"),
    ("Switch conversation (median / max)",
     f"{one('switch_conversation_median'):.0f} / {one('switch_conversation_max'):.0f} ms", app),
    ("Switch to the 2,000-message conversation (median / max)",
     f"{one('switch_to_long_conversation_median'):.0f} / "
     f"{one('switch_to_long_conversation_max'):.0f} ms", app),
    ("Scroll the message list, 120 px a frame (median / p95 / max)",
     f"{one('scroll_messages_median'):.1f} / {one('scroll_messages_p95'):.1f} / "
     f"{one('scroll_messages_max'):.0f} ms", app),
    ("Scroll the sidebar, 120 px a frame (median / p95 / max)",
     f"{one('scroll_sidebar_median'):.1f} / {one('scroll_sidebar_p95'):.1f} / "
     f"{one('scroll_sidebar_max'):.0f} ms", app),
    ("Settings keystroke (median / max); the save once typing pauses",
     f"{one('settings_keystroke_median'):.2f} / {one('settings_keystroke_max'):.2f} ms; "
     f"{one('settings_save_after_typing'):.0f} ms", app),
    ("Save at the end of a reply, main thread (53 MB, median / max of 5); the write on the worker",
     f"{one('save_median'):.2f} / {one('save_max'):.2f} ms; {one('save_written_median'):.0f} ms",
     app),
    ("Load (read + decode)", f"{mbps(storage['BM_Load']):.0f} MB/s", "`bench_storage`"),
    ("Save (encode + atomic write)", f"{mbps(storage['BM_Save']):.0f} MB/s",
     "`bench_storage`"),
    ("Markdown block parser", f"{mbps(markdown['BM_Parse']):.0f} MB/s",
     "`bench_markdown` (BM_Parse, 100 KB reply)"),
    ("Inline converter", f"{mbps(markdown['BM_Inline']):.0f} MB/s", "`bench_markdown` (BM_Inline)"),
]
print("| Figure | Value | Command |")
print("|---|---|---|")
for row in rows:
    print("| " + " | ".join(row) + " |")
print()
print(f"Machine: {nproc} × {cpu}, {mem} memory; load average {load_before} before, "
      f"{load_after} after (shared with other builds). Commit {commit}, Release build, "
      "offscreen software rendering.")
PY
)
echo "$table"
if [ -n "$update" ]; then
  readme="$here/README.md"
  python3 - "$readme" "$table" <<'PY'
import re, sys
path, table = sys.argv[1:]
text = open(path, encoding="utf-8").read()
begin, end = "<!-- figures:begin -->", "<!-- figures:end -->"
new = f"{begin}\n{table}\n{end}"
text = re.sub(re.escape(begin) + ".*?" + re.escape(end), lambda m: new, text, flags=re.S)
open(path, "w", encoding="utf-8").write(text)
PY
  step "updated $readme"
fi
