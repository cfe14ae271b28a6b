#!/bin/bash
# The README's recipes for a large coast in parts, run word by word as
# they stand there, on a copy of the example bay: the Slurm array job and
# its merge on a one-node Slurm started here (mode "slurm"), or the GNU
# parallel variant (mode "parallel"). The settings change right after the
# submission, as the window would change them; the merged coast must hold
# what one run over every site with the submission's settings holds.
#
# readme_parts_test.sh slurm|parallel QUOR_RUN_FOLDER README EXAMPLE_FOLDER
set -u
mode=$1 bin=$2 readme=$3 example=$4

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/quor-parts-XXXXXX") || fail "no temporary folder"
daemons=() queued=()
finish() {
    local status=$?
    if [ ${#queued[@]} -gt 0 ]; then scancel "${queued[@]}" 2>/dev/null; fi
    # The daemons started here, by their process ids, the node's first.
    for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${daemons[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ $status -ne 0 ] && for log in "$work"/slurm/*.log "$work"/bay/slurm-*.out; do
        [ -f "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
    done
    rm -rf "$work"
    exit $status
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

# The block of the README that follows its marker line.
block() {
    awk -v marker="<!-- $1 -->" '$0 == marker {found = 1; next}
        found && /^```/ {if (inside) exit; inside = 1; next}
        inside {print}' "$readme"
}
for marker in "slurm: parts.sh" "slurm: merge.sh" "slurm: submit" parallel; do
    [ -n "$(block "$marker")" ] || fail "README.md has no block after <!-- $marker -->"
done

export HOME=$work/home TMPDIR=$work/scratch PATH=$bin:$PATH
mkdir -p "$HOME/.config/Quor" "$TMPDIR"
cp -r "$example" "$work/bay" || fail "cannot copy $example"
cd "$work/bay" || fail "no copy of the bay"
# 16 rays when the parts are submitted...
printf '[Settings]\noption_index=0\n' >"$HOME/.config/Quor/Quor3.ini"

start_slurm() {
    [ "$(id -u)" -eq 0 ] || fail "Slurm's daemons need root here (CI runs as root): this test cannot run."
    for program in munged slurmctld slurmd sbatch squeue sinfo scancel; do
        command -v "$program" >/dev/null ||
            fail "$program is missing: scripts/install-deps.sh installs slurm-wlm and munge."
    done
    local d=$work/slurm
    mkdir -p "$d/state" "$d/spool" && chmod 711 "$work" "$d" || fail "cannot make $d"
    head -c 1024 /dev/urandom >"$d/munge.key" && chmod 400 "$d/munge.key"
    munged --foreground --force --socket="$d/munge.socket" --key-file="$d/munge.key" \
        --pid-file="$d/munged.pid" --log-file="$d/munged.log" --seed-file="$d/munged.seed" \
        >"$d/munged.out.log" 2>&1 &
    daemons=($! "${daemons[@]}")
    for _ in $(seq 50); do [ -S "$d/munge.socket" ] && break; sleep 0.1; done
    [ -S "$d/munge.socket" ] || fail "munged did not start"

    # Two free ports of our own, apart from any Slurm of the system.
    local ports=()
    while [ ${#ports[@]} -lt 2 ]; do
        local p=$((20000 + RANDOM % 40000))
        # Nothing answers there, and the first port is not taken twice.
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || [ "${ports[0]:-}" = "$p" ] || ports+=("$p")
    done
    # The node takes the README's four CPUs a task twice whatever the
    # machine has (config_overrides): a smaller one is not drained.
    cat >"$d/slurm.conf" <<CONF
ClusterName=quorparts
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=${ports[0]}
SlurmdPort=${ports[1]}
AuthType=auth/munge
AuthInfo=socket=$d/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$d/state
SlurmdSpoolDir=$d/spool
SlurmctldPidFile=$d/slurmctld.pid
SlurmdPidFile=$d/slurmd.pid
SlurmctldLogFile=$d/slurmctld.log
SlurmdLogFile=$d/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=quorparts NodeAddr=127.0.0.1 NodeHostname=$(uname -n) CPUs=8 State=UNKNOWN
PartitionName=quorparts Nodes=quorparts Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF=$d/slurm.conf
    slurmctld -D -i -f "$SLURM_CONF" >"$d/slurmctld.out.log" 2>&1 &
    daemons=($! "${daemons[@]}")
    slurmd -D -N quorparts -f "$SLURM_CONF" >"$d/slurmd.out.log" 2>&1 &
    daemons=($! "${daemons[@]}")
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
        for pid in "${daemons[@]}"; do
            kill -0 "$pid" 2>/dev/null || fail "a Slurm daemon ended at its start (its log follows)"
        done
        [ "$(timeout 5 sinfo -h -o %t 2>/dev/null)" = idle ] && return 0
        sleep 0.1
    done
    fail "the one-node Slurm did not come up within 30 s"
}

if [ "$mode" = slurm ]; then
    start_slurm
    block "slurm: parts.sh" >parts.sh
    block "slurm: merge.sh" >merge.sh
    block "slurm: submit" >submit.sh
    # The submission's own lines, as a user types them.
    submitted=$(timeout 60 bash -e submit.sh) || fail "the submission failed: $submitted"
    queued=($(timeout 10 squeue -h -o %A | sort -u))
    # ...and 56 once they are queued: the tasks must not take them.
    printf '[Settings]\noption_index=4\n' >"$HOME/.config/Quor/Quor3.ini"
    deadline=$((SECONDS + 120))
    while [ $SECONDS -lt $deadline ] && [ -n "$(timeout 10 squeue -h 2>&1)" ]; do sleep 0.1; done
    [ -z "$(timeout 10 squeue -h 2>&1)" ] && queued=() || fail "the jobs did not end within 120 s: $(timeout 10 squeue)"
    grep -h "quor-run" slurm-*.out
    grep -q "merge completed" slurm-*.out || fail "the merge job did not complete"
else
    command -v parallel >/dev/null || fail "GNU parallel is missing: scripts/install-deps.sh installs it."
    block parallel >recipe.sh
    bash -e recipe.sh </dev/null || fail "the GNU parallel recipe failed"
    printf '[Settings]\noption_index=4\n' >"$HOME/.config/Quor/Quor3.ini"
fi

[ -f coast.gpkg ] || fail "no coast.gpkg"
quor-run rwe --shoreline water_portphillip.shp --bathymetry bathy_portphillip_m.tif \
    --wind sample_56.Wind_RWE --sites sites_portphillip.shp --settings run.ini --quiet \
    --output "$work/whole.gpkg" || fail "the whole run failed"
# Every site's point and values in their order; the layer's name and the
# date GDAL stamps on a shapefile's copy aside.
rows() { ogrinfo -al -q "$1" | grep -v -e '^$' -e '^Layer name' -e 'Metadata:' -e 'DBF_DATE_LAST_UPDATE'; }
diff <(rows "$work/whole.gpkg") <(rows coast.gpkg) >"$work/differences" ||
    fail "the merged coast differs from one whole run: $(head -n 20 "$work/differences")"
[ "$(rows coast.gpkg | grep -c '^OGRFeature')" -eq 1015 ] || fail "coast.gpkg does not hold the 1015 sites"
record=$(ogrinfo -so -mdd QUOR_RUN coast.gpkg | tr -d ' ')
for item in part=1/1 first_site=0 sites=1015 setting.rays=16; do
    grep -qx "$item" <<<"$record" || fail "coast.gpkg does not record $item: $record"
done
echo "The README's $mode recipe made the whole coast: 1015 sites as one run makes them."
