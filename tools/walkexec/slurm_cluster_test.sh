#!/bin/sh
# walkexec -s slurm on a real single-node Slurm cluster: a munged with its
# own key and socket, a controller and a node daemon with their own
# configuration, all in a temporary folder. A job array of three tasks runs
# walkexec over a tree; every file must run exactly once, and the tasks'
# failure logs must hold exactly the failures. A list array (1,3,5) is
# refused by every task. A task cancelled midway (SIGTERM to the job) and
# submitted again with -r runs only what its job log does not record as
# done. Skips (status 77) only where the daemons cannot start.
# Usage: slurm_cluster_test.sh path/to/walkexec
set -u
walkexec=$(realpath "${1:?usage: $0 path/to/walkexec}")

skip() {
  echo "SKIP: $*"
  exit 77
}
for program in munged mungekey slurmctld slurmd sbatch sinfo; do
  command -v $program >/dev/null || skip "$program is not installed (scripts/install-deps.sh)"
done
[ "$(id -u)" -eq 0 ] || skip "slurmd runs its tasks as their user, which needs root"

# munged refuses a socket in a folder that not everyone may search, all the
# way up.
work=$(mktemp -d /tmp/walkexec_slurm_XXXXXX)
chmod 755 "$work"
pids=""
stop() {
  for pid in $pids; do kill "$pid" 2>/dev/null; done
  for pid in $pids; do
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
  done
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 1' INT TERM
show() {
  for log in "$work"/*.log; do echo "--- $log"; tail -n 20 "$log"; done
}

mkdir -m 700 "$work/munge"
mungekey -c -k "$work/munge/munge.key" || skip "mungekey cannot make a key"
munged -F -f --key-file="$work/munge/munge.key" --socket="$work/munge.socket" \
  --pid-file="$work/munge/munged.pid" --seed-file="$work/munge/seed" \
  --log-file="$work/munged.log" 2>>"$work/munged.log" &
pids="$!"
i=0
until [ -S "$work/munge.socket" ]; do
  i=$((i + 1))
  [ $i -gt 50 ] && { show; skip "munged does not start"; }
  kill -0 $pids 2>/dev/null || { show; skip "munged does not start"; }
  sleep 0.1
done

# Ports of our own, out of the way of a cluster that may run here.
port=$((20000 + $$ % 20000))
host=$(hostname -s)
mkdir -p "$work/state" "$work/spool"
cat >"$work/slurm.conf" <<EOF
ClusterName=walkexec
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge.socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/builtin
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
ReturnToService=2
MinJobAge=2
SlurmdTimeout=30
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=walkexec Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
export SLURM_CONF="$work/slurm.conf"
slurmctld -D -i >/dev/null 2>&1 &
pids="$pids $!"
slurmd -D >/dev/null 2>&1 &
pids="$pids $!"
i=0
until sinfo -h -o %t 2>/dev/null | grep -qx idle; do
  i=$((i + 1))
  [ $i -gt 150 ] && { show; skip "the Slurm daemons do not start"; }
  sleep 0.1
done

# A tree of 60 files; those named bad* fail with exit code 3.
for d in a b c; do
  mkdir -p "$work/tree/$d/sub"
  for n in 1 2 3 4 5 6 7 8 9 10; do
    : >"$work/tree/$d/f$n"
    : >"$work/tree/$d/sub/g$n"
  done
  : >"$work/tree/$d/bad$d"
  : >"$work/tree/$d/sub/bad-$d"
done
cat >"$work/run" <<'EOF'
#!/bin/sh
printf '%s\n' "$1" >>"$2/ran"
case "${1##*/}" in bad*) exit 3 ;; esac
EOF
chmod 755 "$work/run"
cat >"$work/array.sh" <<EOF
#!/bin/sh
exec "$walkexec" -s slurm -j 2 -c "$work/run @path $work" -e "$work/fail-\$SLURM_ARRAY_TASK_ID.log" "$work/tree"
EOF
sbatch --array=0-2 --wait --quiet --chdir="$work" --output="$work/task-%a.log" "$work/array.sh"
status=$?
[ $status -eq 0 ] || { show; echo "FAIL: the array ended with status $status"; exit 1; }

failed=0
expected=$(cd "$work" && find tree -type f | sed "s|^|$work/|" | sort)
ran=$(sort "$work/ran")
if [ "$ran" != "$expected" ]; then
  echo "FAIL: the files run are not every file once:"
  printf '%s\n' "$ran" | uniq -c | awk '$1 != 1'
  printf '%s\n' "$expected" | sort - "$work/ran" | uniq -u
  failed=1
fi
# The logs are UTF-16LE; as bytes, each line is its ASCII text with NULs.
logged=$(cat "$work"/fail-*.log | tr -d '\000\r' | sort)
bad=$(printf '%s\n' "$expected" | grep '/bad[^/]*$' | sed 's/^/3,/')
if [ "$logged" != "$bad" ]; then
  echo "FAIL: the failure logs hold"
  printf '%s\n' "$logged"
  echo "and not"
  printf '%s\n' "$bad"
  failed=1
fi
tasks=$(ls "$work"/fail-*.log | wc -l)
echo "3 tasks ran $(printf '%s\n' "$ran" | wc -l) files over $tasks failure logs"

# A list array: the ids are not evenly spaced, and every task says so.
rm -f "$work/ran"
sbatch --array=1,3,5 --wait --quiet --chdir="$work" --output="$work/list-%a.log" "$work/array.sh"
for id in 1 3 5; do
  grep -q "not a task of an evenly spaced Slurm job array" "$work/list-$id.log" || {
    echo "FAIL: task $id of the list array was not refused"
    cat "$work/list-$id.log"
    failed=1
  }
done
[ -e "$work/ran" ] && { echo "FAIL: a task of the list array ran files"; failed=1; }

# One task, cancelled once some files have run, then submitted again.
cat >"$work/slow" <<'EOF2'
#!/bin/sh
sleep 0.2
printf '%s\n' "$1" >>"$2/ran"
EOF2
chmod 755 "$work/slow"
cat >"$work/resume.sh" <<EOF2
#!/bin/sh
exec "$walkexec" -j 2 -c "$work/slow @path $work" -l "$work/job.log" -r "$work/tree"
EOF2
job=$(sbatch --parsable --chdir="$work" --output="$work/resume-1.log" "$work/resume.sh")
i=0
until [ "$(cat "$work/ran" 2>/dev/null | wc -l)" -ge 10 ]; do
  i=$((i + 1))
  [ $i -gt 600 ] && { show; echo "FAIL: the resumable task does not run"; exit 1; }
  sleep 0.1
done
scancel "$job"
i=0
while squeue -h -j "$job" 2>/dev/null | grep -q .; do
  i=$((i + 1))
  [ $i -gt 600 ] && { show; echo "FAIL: the cancelled task does not end"; exit 1; }
  sleep 0.1
done
done_first=$(tr -d '\000\r' <"$work/job.log" | grep '^0,' | cut -d, -f2- | sort)
first=$(printf '%s\n' "$done_first" | grep -c .)
[ "$first" -lt 66 ] || { echo "FAIL: the task ended before it was cancelled"; failed=1; }
rm -f "$work/ran"
sbatch --wait --quiet --chdir="$work" --output="$work/resume-2.log" "$work/resume.sh" || {
  show
  echo "FAIL: the resumed task ended with status $?"
  failed=1
}
rest=$(sort "$work/ran")
together=$(printf '%s\n%s\n' "$done_first" "$rest" | grep . | sort)
if [ "$together" != "$expected" ]; then
  echo "FAIL: the cancelled and the resumed task did not run every file once between them"
  failed=1
fi
echo "a task cancelled after $first files resumed with $(printf '%s\n' "$rest" | grep -c .) more"
exit $failed
