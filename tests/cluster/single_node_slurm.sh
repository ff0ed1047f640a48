# A single-node Slurm of its own for a test: munged, slurmctld and slurmd with a generated
# slurm.conf naming this host, key, state, spool and logs under one folder, free ports. Sourced;
# start_slurm DIR starts it (status 77 with a reason when it cannot), stop_slurm ends only the
# daemons it started, by the process ids in their pid files.

SLURM_DIR=""

slurm_skip() { # REASON: the test cannot run here
    echo "SKIPPED: $*" >&2
    exit 77
}

# A TCP port nobody listens on, from a range away from the usual services.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
    done
}

write_slurm_conf() { # DIR NODE CPUS
    local dir=$1 node=$2 cpus=$3 user controller daemon
    user=$(id -un)
    controller=$(free_port)
    daemon=$(free_port)
    while [ "$daemon" = "$controller" ]; do daemon=$(free_port); done
    cat >"$dir/slurm.conf" <<EOF
ClusterName=lumesta$$
SlurmctldHost=$node(127.0.0.1)
SlurmUser=$user
SlurmdUser=$user
SlurmctldPort=$controller
SlurmdPort=$daemon
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
KillWait=10
MinJobAge=600
InactiveLimit=0
NodeName=$node NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP
EOF
}

slurm_logs() {
    tail -n 5 "$SLURM_DIR"/munge/munged.log "$SLURM_DIR"/log/*.log 2>/dev/null >&2
}

start_slurm() { # DIR
    SLURM_DIR=$1
    local tool
    for tool in munged slurmctld slurmd sbatch squeue scancel sinfo; do
        command -v "$tool" >/dev/null ||
            slurm_skip "$tool is not installed (tools/setup.sh installs slurm-wlm and munge)"
    done
    mkdir -p "$SLURM_DIR"/{munge,state,spool,log}
    chmod 700 "$SLURM_DIR/munge"
    head -c 1024 /dev/urandom >"$SLURM_DIR/munge/munge.key"
    chmod 400 "$SLURM_DIR/munge/munge.key"
    munged --force --key-file="$SLURM_DIR/munge/munge.key" --socket="$SLURM_DIR/munge/munge.socket" \
        --pid-file="$SLURM_DIR/munge/munged.pid" --seed-file="$SLURM_DIR/munge/munged.seed" \
        --log-file="$SLURM_DIR/munge/munged.log" || { slurm_logs; slurm_skip "munged cannot start"; }
    # A port taken between choosing and binding it fails the start: a second try gets others.
    start_controller_and_node && return 0
    end_daemons slurmd.pid slurmctld.pid
    rm -rf "${SLURM_DIR:?}"/{state,spool}/*
    start_controller_and_node && return 0
    slurm_logs
    slurm_skip "slurmctld and slurmd did not start, or the node did not become idle within 30 s"
}

start_controller_and_node() {
    local node tries
    node=$(hostname -s)
    write_slurm_conf "$SLURM_DIR" "$node" "$(nproc)"
    export SLURM_CONF=$SLURM_DIR/slurm.conf
    slurmctld -f "$SLURM_CONF" -i && slurmd -f "$SLURM_CONF" -N "$node" || return 1
    for tries in $(seq 60); do
        [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && return 0
        sleep 0.5
    done
    return 1
}

# Ends the daemons whose pid files (under SLURM_DIR) are given, and waits for them.
end_daemons() {
    local file pid pids=() tries alive
    for file in "$@"; do
        pid=$(cat "$SLURM_DIR/$file" 2>/dev/null) || continue
        [ -n "$pid" ] && kill "$pid" 2>/dev/null && pids+=("$pid")
    done
    for tries in $(seq 50); do
        alive=0
        for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
        [ $alive = 0 ] && return 0
        sleep 0.2
    done
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
}

# Ends the daemons of start_slurm, each by the id in its own pid file.
stop_slurm() {
    [ -n "$SLURM_DIR" ] || return 0
    end_daemons slurmd.pid slurmctld.pid munge/munged.pid
    SLURM_DIR=""
}

# Waits until a job (all of its array tasks) has left the queue; false after SECONDS.
wait_for_job() { # JOB_ID SECONDS
    local deadline=$((SECONDS + $2))
    while [ $SECONDS -lt $deadline ]; do
        [ -z "$(squeue -h -j "$1" 2>/dev/null)" ] && return 0
        sleep 0.5
    done
    return 1
}
