#!/usr/bin/env bash
# A study through a real single-node Slurm: submitted as one job array, one task killed halfway
# (scancel of that array task), resumed (only that task is submitted again), and a whole array
# cancelled. Arguments: pemblar-study, lumdex, this directory. Exit 77: skipped (reason printed).
set -u
study_program=$(readlink -f "$1")
lumdex=$(readlink -f "$2")
here=$3
. "$here/single_node_slurm.sh"

work=
trap slurm_study_cleanup EXIT
slurm_start || exit $?
# A '%' (Slurm's file-name patterns), a quote and a blank in the project's path: every task must
# still run and log.
work=$(mktemp -d "/tmp/pemblar-slurm-study 50%a'-XXXXXX")

mkdir -p "$work/input" "$work/out"
cat >"$work/input/plate.dat" <<'PROJECT'
plate
2    2    3.113646
5    3.1400
3    3
0.00    4.00
2.0000
carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000
glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000
Layer 1  carbon  1  0.2500 2
Layer 2  carbon  1  0.5000 2
1 
PROJECT
# The solver of case 2 waits while the hold file exists, so its task can be killed halfway.
cat >"$work/held_solver" <<SOLVER
#!/bin/sh
case "\$PWD" in
  */case-0002/*) if [ -e "$work/hold" ]; then touch "$work/started"; sleep 60; fi ;;
esac
exec "$lumdex" "\$@"
SOLVER
chmod +x "$work/held_solver"
cat >"$work/sweep.toml" <<STUDY
project = "input/plate.dat"
solver = "./held_solver"
points = 41
[receivers]
values = [1.0, 2.0, 3.0]
[[vary]]
parameter = "frequency"
values = [1, 2, 3]
[scheduler]
type = "slurm"
partition = "pemblar"
time = "00:05:00"
cpus_per_task = 1
STUDY
studydir="$work/output/plate/studies/sweep"

touch "$work/hold"
"$study_program" run "$work/sweep.toml" --no-wait >"$work/out/run.txt" 2>&1 || fail "run: $(cat "$work/out/run.txt")"
grep -q "submitted job array" "$work/out/run.txt" || fail "no array submitted: $(cat "$work/out/run.txt")"
job=$(sed -n 's/.*submitted job array \([0-9]*\).*/\1/p' "$work/out/run.txt")
[ -f "$studydir/case-0002/input.d" ] || fail "case inputs were not written before submitting"
wait_for 60 test -e "$work/started" || fail "task 2 never started"
status_of "$work/sweep.toml" "$work/out/status1.txt"
grep -q "case-0002/block-0001: running" "$work/out/status1.txt" || fail "task 2 is not reported running: $(cat "$work/out/status1.txt")"

# Kill the one task halfway; the other two finish.
scancel "${job}_2" || fail "scancel ${job}_2"
wait_for 60 queue_empty || fail "the array did not end"
status_of "$work/sweep.toml" "$work/out/status2.txt"
grep -q "3 tasks: 2 done" "$work/out/status2.txt" || fail "expected two tasks done: $(cat "$work/out/status2.txt")"
[ ! -e "$studydir/case-0002/block-0001" ] || fail "the killed task left a result directory"
[ ! -e "$studydir/results.csv" ] || fail "results were collected from an incomplete study"
ls -d "$studydir"/case-0001/block-0001 "$studydir"/case-0003/block-0001 >/dev/null || fail "complete tasks missing"

# Two resumes at once: the study's lock lets one submit the killed task; the other waits for it
# and finds the task queued or done. Then a third follows the study to its end.
rm -f "$work/hold"
"$study_program" resume "$work/sweep.toml" --no-wait >"$work/out/resume1.txt" 2>&1 &
first=$!
"$study_program" resume "$work/sweep.toml" --no-wait >"$work/out/resume2.txt" 2>&1 || fail "second resume: $(cat "$work/out/resume2.txt")"
wait "$first" || fail "first resume: $(cat "$work/out/resume1.txt")"
cat "$work/out/resume1.txt" "$work/out/resume2.txt" >"$work/out/resume.txt"
[ "$(grep -c "submitted job array" "$work/out/resume.txt")" -eq 1 ] || fail "not exactly one resubmission: $(cat "$work/out/resume.txt")"
grep -q "resuming tasks 2$" "$work/out/resume.txt" || fail "resume did not pick task 2 alone: $(cat "$work/out/resume.txt")"
grep -q "(tasks 2)" "$work/out/resume.txt" || fail "the resubmission is not task 2 alone"
grep -q "nothing to resume" "$work/out/resume.txt" || fail "the second resume did not see the first one's array"
"$study_program" resume "$work/sweep.toml" --poll-ms=300 >"$work/out/follow.txt" 2>&1 || fail "following: $(cat "$work/out/follow.txt")"
grep -q "3 tasks: 3 done" "$work/out/follow.txt" || fail "not all done after resume: $(cat "$work/out/follow.txt")"
lines=$(wc -l <"$studydir/results.csv")
[ "$lines" -eq $((1 + 3 * 3 * 41)) ] || fail "results.csv has $lines lines"
[ "$(grep -c '^\[\[submission\]\]' "$studydir/manifest.toml")" -eq 2 ] || fail "two submissions expected in the manifest"
ls "$studydir/slurm/"task-2-job-*.out >/dev/null 2>&1 || fail "no log of the array task"
"$study_program" status "$work/sweep.toml" >"$work/out/status4.txt" 2>&1 || fail "status of the complete study"

# Cancel stops a whole array; nothing half-made remains.
cat >"$work/second.toml" <<STUDY
project = "input/plate.dat"
solver = "./held_solver"
points = 41
[[vary]]
parameter = "thickness"
layer = 1
values = [0.2, 0.3]
[scheduler]
type = "slurm"
STUDY
touch "$work/hold"
rm -f "$work/started"
"$study_program" run "$work/second.toml" --no-wait >"$work/out/run2.txt" 2>&1 || fail "second run: $(cat "$work/out/run2.txt")"
wait_for 60 test -e "$work/started" || fail "the second study's task 2 never started"
"$study_program" cancel "$work/second.toml" >"$work/out/cancel.txt" 2>&1 || fail "cancel: $(cat "$work/out/cancel.txt")"
wait_for 60 queue_empty || fail "the cancelled array did not end"
second="$work/output/plate/studies/second"
[ ! -e "$second/case-0002/block-0001" ] || fail "a cancelled task left a result directory"
status_of "$work/second.toml" "$work/out/status3.txt"
grep -q "case-0002/block-0001: \(cancelled\|failed\|missing\)" "$work/out/status3.txt" ||
  fail "the cancelled task is not reported: $(cat "$work/out/status3.txt")"
echo "PASS: job array, killed task resumed alone, whole array cancelled"
exit 0
