#!/usr/bin/env bash
# A point-source study through a real single-node Slurm: a grid of receivers (two rows of y) under
# an X and a Z load, each case's wave field a task of its own. One field task is killed halfway
# (scancel) and resumed alone; then every curve, every field and results.csv are checked against
# each other and the manifest's cover of the receivers read independently of pemblar-study.
# Arguments: pemblar-study, lumdex, this directory. Exit 77: skipped (reason printed).
set -u
study_program=$(readlink -f "$1")
lumdex=$(readlink -f "$2")
here=$3
. "$here/single_node_slurm.sh"

# The checks read HDF5 through h5py (Debian's python3-h5py), as a user of the files would.
py=
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import h5py, numpy, tomllib' >/dev/null 2>&1; then py=$candidate; break; fi
done
if [ -z "$py" ]; then
  echo "SKIP: no python3 with h5py, numpy and tomllib (Debian packages python3-h5py; scripts/install-deps.sh)" >&2
  exit 77
fi

work=
trap slurm_study_cleanup EXIT
slurm_start || exit $?
work=$(mktemp -d /tmp/pemblar-slurm-point-XXXXXX)

mkdir -p "$work/input" "$work/out"
# Two plies of one element each and a 1 us window: a point-source run takes a fraction of a second.
cat >"$work/input/plate.dat" <<'PROJECT'
plate
2    2    3.113646
5    3.1400
3    3
0.00    1.00
2.0000
carbon  1  181.0000  10.3000  7.1700  0.2800  0.4000  0.0000  1.6000
glass  2  38.6000  8.2700  4.1400  0.2600  0.3000  45.0000  1.8000
Layer 1  carbon  1  0.2500 1
Layer 2  carbon  1  0.5000 1
1 
PROJECT
# The wave-field settings "Wave field..." keeps beside the project: 9 x 5 points, 3 frames.
cat >"$work/input/plate.settings" <<'SETTINGS'
order 2
wave-field-x -4 4 9
wave-field-y -2 2 5
wave-field-times 0 1 3
wave-field-output W
wave-field-source Z
SETTINGS
# The field run of case 2 waits while the hold file exists, so its task can be killed halfway.
cat >"$work/held_solver" <<SOLVER
#!/bin/sh
case "\$PWD" in
  */case-0002/wavefield.h5.run-*) if [ -e "$work/hold" ]; then touch "$work/started"; sleep 60; fi ;;
esac
exec "$lumdex" "\$@"
SOLVER
chmod +x "$work/held_solver"
cat >"$work/grid.toml" <<STUDY
project = "input/plate.dat"
solver = "./held_solver"
points = 41
order = 2
source = "point"
field = true
[receivers]
values = [1.0, 2.0]
y = { values = [0.0, 1.0] }
[[vary]]
parameter = "direction"
values = [1, 3]
[scheduler]
type = "slurm"
partition = "pemblar"
time = "00:05:00"
receivers_per_task = 3
STUDY
studydir="$work/output/plate/studies/grid"

touch "$work/hold"
"$study_program" run "$work/grid.toml" --no-wait >"$work/out/run.txt" 2>&1 || fail "run: $(cat "$work/out/run.txt")"
grep -q "submitted job array" "$work/out/run.txt" || fail "no array submitted"
job=$(sed -n 's/.*submitted job array \([0-9]*\).*/\1/p' "$work/out/run.txt")
wait_for 60 test -e "$work/started" || fail "the field task of case 2 never started"
status_of "$work/grid.toml" "$work/out/status1.txt"
grep -q "case-0002/wavefield.h5: running" "$work/out/status1.txt" || fail "the field task is not reported running"

# Killed halfway: the field is absent, not half there, and nothing is collected.
scancel "${job}_6" || fail "scancel ${job}_6"
wait_for 60 queue_empty || fail "the array did not end"
status_of "$work/grid.toml" "$work/out/status2.txt"
grep -q "6 tasks: 5 done" "$work/out/status2.txt" || fail "expected five tasks done"
[ ! -e "$studydir/case-0002/wavefield.h5" ] || fail "the killed field task left a field"
[ ! -e "$studydir/results.csv" ] || fail "results were collected from an incomplete study"

rm -f "$work/hold"
"$study_program" resume "$work/grid.toml" --poll-ms=300 >"$work/out/resume.txt" 2>&1 || fail "resume"
grep -q "resuming tasks 6$" "$work/out/resume.txt" || fail "resume did not pick the field task alone"
grep -q "6 tasks: 6 done" "$work/out/resume.txt" || fail "not all done after resume"
"$study_program" status "$work/grid.toml" >"$work/out/status3.txt" 2>&1 || fail "status of the complete study"
ls "$studydir/slurm/"task-3-job-*.out "$studydir/slurm/"task-6-job-*.out >/dev/null 2>&1 || fail "no log of a field task"
leftover=$(find "$studydir" -name '*.run-*')
[ -z "$leftover" ] || fail "scratch left behind: $leftover"

"$py" - "$studydir" >"$work/out/check.txt" 2>&1 <<'PY' || fail "the results do not hold together"
import math, os, sys, tomllib
import h5py, numpy as np

study = sys.argv[1]
text = open(os.path.join(study, "manifest.toml")).read()
assert text.rstrip("\n").splitlines()[-1].startswith("# checksum "), "the manifest has no checksum line"
m = tomllib.loads(text)

# The grid, row by row with x fastest, and a cover of every receiver of every case exactly once
# by the curve tasks, with one field task per case.
assert m["receivers"] == [1.0, 2.0, 1.0, 2.0] and m["receivers_y"] == [0.0, 0.0, 1.0, 1.0], m["receivers"]
assert m["receiver_count"] == 4 and m["case_count"] == len(m["case"]) == 2
assert m["task_count"] == len(m["task"]) == 6 and m["submission_count"] == len(m["submission"]) == 2
for c in (1, 2):
    tasks = [t for t in m["task"] if t["case"] == c]
    covered = sorted(r for t in tasks if not t.get("field")
                     for r in range(t["first_receiver"], t["first_receiver"] + t["receivers"]))
    assert covered == [1, 2, 3, 4], (c, covered)
    fields = [t["dir"] for t in tasks if t.get("field")]
    assert fields == ["case-%04d/wavefield.h5" % c], fields

def read_curve(path):
    lines = open(path).read().split("\n")
    count = int(lines[0].split()[1])
    rows = [tuple(map(float, l.split())) for l in lines[1:] if l.strip()]
    assert count == 41 and len(rows) == 41, (path, count, len(rows))
    assert all(math.isfinite(v) for row in rows for v in row), path
    return np.array(rows)

# Every receiver's curve, in its block, as receivers.txt names it.
curves = {}
for t in m["task"]:
    if t.get("field"):
        continue
    block = os.path.join(study, t["dir"])
    listed = [tuple(map(float, l.split())) for l in open(os.path.join(block, "receivers.txt")) if l.strip()]
    for i in range(t["receivers"]):
        r = t["first_receiver"] - 1 + i
        assert listed[i] == (m["receivers"][r], m["receivers_y"][r]), (t["dir"], listed)
        curves[(t["case"], r)] = read_curve(os.path.join(block, "result_r%04d.dat" % (i + 1)))
assert len(curves) == 8

# results.csv: the grid's column, and the curves' values at their seven digits.
lines = open(os.path.join(study, "results.csv")).read().splitlines()
assert lines[0] == "case,direction,receiver_x,receiver_y,time,value", lines[0]
assert len(lines) == 1 + 2 * 4 * 41, len(lines)
rows = {}
for line in lines[1:]:
    case, direction, x, y, t, v = line.split(",")
    rows.setdefault((int(case), float(x), float(y)), []).append((float(t), float(v)))
for (c, r), curve in curves.items():
    got = np.array(rows[(c, m["receivers"][r], m["receivers_y"][r])])
    peak = max(np.abs(curve[:, 1]).max(), 1e-30)
    assert np.allclose(got[:, 0], curve[:, 0]) and np.abs(got[:, 1] - curve[:, 1]).max() <= 1e-6 * peak, (c, r)

# Each case's field: the settings' grid and times, its own load direction, every value finite,
# and at the grid points that are receivers the receivers' curves (the field is a transform of
# its own over another period; measured 7.5e-7 of the peak, 1e-5 leaves room for rounding).
for c, direction in ((1, "X"), (2, "Z")):
    with h5py.File(os.path.join(study, "case-%04d/wavefield.h5" % c), "r") as f:
        field = f["field"][()]
        assert field.shape == (3, 5, 9), field.shape
        assert np.all(np.isfinite(field))
        assert f["field"].attrs["component"] == "W" and f.attrs["load_direction"] == direction
        assert np.allclose(f["x"][()], np.linspace(-4, 4, 9)) and np.allclose(f["y"][()], np.linspace(-2, 2, 5))
        assert np.allclose(f["t"][()], [0, 0.5, 1])
    for r, (row, column) in ((1, (2, 6)), (2, (3, 5))):  # (2, 0) and (1, 1) mm
        curve = curves[(c, r)]
        peak = np.abs(curve[:, 1]).max()
        assert peak > 0
        for frame, sample in ((1, 20), (2, 40)):
            assert abs(field[frame, row, column] - curve[sample, 1]) <= 1e-5 * peak, (c, r, frame)
print("consistent")
PY
echo "PASS: point-source grid with wave fields on Slurm, a killed field task resumed alone"
exit 0
