#!/usr/bin/env bash
# The messages the README quotes are the programs' own. Each quote is looked up in the README and in
# what the program says when run here into that case (with this run's terminal, port and process
# number put back as the README's examples), or, for the window's texts, in their one source
# (app/window_texts.h, core/modbus_exceptions.h, the form app/frm_main.ui). Every quote in the
# troubleshooting table must be one of those checked.
#   messages.sh CLI SIM TOOL WORK_DIR
set -euo pipefail
cli=$1
sim=$2
tool=$3
work=$4
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
readme=$source_dir/README.md
source "$source_dir/tests/reach/common.sh"
as_nobody=""
trap 'stop_started; [[ -z $as_nobody ]] || rm -rf "$as_nobody"' EXIT

failures=0
checked=()
# check QUOTE FILE [SED-EXPRESSION...]: the README quotes QUOTE, and FILE holds it once the
# expressions put this run's particulars back as the README has them.
check() {
    local quote=$1 file=$2
    shift 2
    local expressions=(-e '')
    for expression in "$@"; do
        expressions+=(-e "$expression")
    done
    checked+=("$quote")
    sed "${expressions[@]}" "$file" >"$work/said"
    if ! grep -qF -- "$quote" "$readme"; then
        echo "FAIL: the README no longer quotes '$quote' (quote it again, or leave it out here)" >&2
        failures=$((failures + 1))
    elif ! grep -qF -- "$quote" "$work/said"; then
        echo "FAIL: the README quotes '$quote'; $(basename "$file") says:" >&2
        head -n 20 "$work/said" | sed 's/^/  /' >&2
        failures=$((failures + 1))
    fi
}

# start_sim NAME ARGS...: the simulated module with ARGS, its output in $work/NAME.out and its
# terminal in $terminal.
start_sim() {
    local name=$1
    shift
    "$sim" "$@" >"$work/$name.out" 2>&1 &
    started_pids+=($!)
    wait_for "terminal from the simulator ($name)" grep -qs '/dev/pts/[0-9]' "$work/$name.out"
    terminal=$(grep -o '/dev/pts/[0-9]*' "$work/$name.out" | head -n 1)
}

# run_cli NAME ARGS...: the command line's output and errors in $work/NAME.
run_cli() {
    local name=$1
    shift
    "$cli" "$@" >"$work/$name" 2>&1 || true
}

# save_com1 HOME DEVICE: a saved mapping in HOME that leads COM1 to DEVICE, as --save-port makes it.
save_com1() {
    mkdir -p "$1/.config/gx7140r-tool"
    echo "COM1=$2" >"$1/.config/gx7140r-tool/ports.conf"
}
unset XDG_CONFIG_HOME

# The window's texts, from their one source.
texts=$source_dir/app/window_texts.h
form=$source_dir/app/frm_main.ui
check '串口已打开或被占用！' "$texts"
check '打开串口出错，请确定串口是否已被占用' "$texts"
check '无效应答，未解码' "$texts"
check '模块应答的地址为' "$texts"
check '模块应答的值为' "$texts"
refusal=$(grep -oP 'QT_TRANSLATE_NOOP\("window_texts", "\K模块拒绝：[^"]*' "$texts")
illegal_data_address=$(grep -oP '\{0x02, "[^"]*", QT_TRANSLATE_NOOP\("window_texts", "\K[^"]*' \
    "$source_dir/core/modbus_exceptions.h")
refusal=${refusal/\%1/02}
echo "${refusal/\%2/$illegal_data_address}" >"$work/refusal"
check '模块拒绝：02 非法数据地址' "$work/refusal"
check '模块拒绝：' "$work/refusal"
for caption in 单次 循环 停止 读地址 执行 设置; do
    check "\"$caption\"" "$form" 's|<string>\([^<]*\)</string>|"\1"|g'
done

# The simulated module's own lines, with a link and Modbus TCP.
tcp_port=$(free_port)
start_sim link --com 0 --steady --link "$work/COM1" --tcp "$tcp_port"
wait_for "Modbus TCP from the simulator" grep -qs "Modbus TCP on" "$work/link.out"
check 'GX7140R module at slave address 1 on /dev/pts/2 (fault: none)' "$work/link.out" \
    "s|$terminal|/dev/pts/2|"
check 'linked /dev/COM1 -> /dev/pts/2' "$work/link.out" "s|$work/COM1|/dev/COM1|" \
    "s|$terminal|/dev/pts/2|"
check 'Modbus TCP on 127.0.0.1:1502' "$work/link.out" "s|127.0.0.1:$tcp_port|127.0.0.1:1502|"
start_sim bus --com 0 --steady --slave 1,5,9
check 'GX7140R modules at slave addresses 1, 5, 9 on /dev/pts/2 (fault: none)' "$work/bus.out" \
    "s|$terminal|/dev/pts/2|"

# The command line against the steady module.
start_sim steady --com 0 --steady
run_cli read --port "$terminal" read
check 'concentration_ppm    812 ppm' "$work/read" 's|450 ppm|812 ppm|'
check 'range_high           2000' "$work/read"
run_cli scan --port "$terminal" scan --bauds 9600 --addresses 1-1
check 'address 1, 9600 baud' "$work/scan"
run_cli unit5 --port "$terminal" --address 5 read
check 'no reply from address 5 ' "$work/unit5"
run_cli not_whole --port "$terminal" --address ' 1' read
check 'not a whole number (digits only)' "$work/not_whole"
run_cli out_of_range --port "$terminal" --address 248 read
check 'out of range (1 to 247)' "$work/out_of_range"

# --echo on a line that gives nothing back; a line that gives back every request, read without it.
run_cli no_echo --port "$terminal" --echo read
check 'invalid reply from address 1: the line did not give back what was sent: start without --echo' \
    "$work/no_echo"
start_sim echoing --com 0 --steady --echo
run_cli echoed --port "$terminal" read
check 'invalid reply from address 1: the line gives back what was sent: start with --echo' \
    "$work/echoed"

# The port held by the window.
mkdir -m 0700 "$work/runtime"
save_com1 "$work/home" "$terminal"
HOME=$work/home QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$tool" >"$work/tool.out" 2>&1 &
tool_pid=$!
started_pids+=("$tool_pid")
below_dev=${terminal#/dev/}
wait_for "the window's lock on $terminal" test -e "/var/lock/LCK..${below_dev//\//_}"
HOME=$work/home run_cli in_use read
check 'COM1 (/dev/ttyUSB0) is in use by process 1234 (gx7140r-tool)' "$work/in_use" \
    "s|$terminal|/dev/ttyUSB0|" "s|process $tool_pid |process 1234 |"

# A device that is not there.
save_com1 "$work/home_missing" "$work/ttyS0"
HOME=$work/home_missing run_cli missing read
check 'cannot open /dev/ttyS0 (COM1): No such file or directory' "$work/missing" \
    "s|$work/ttyS0|/dev/ttyS0|"

# A module that does not answer, one that vanishes, a refusal (from a gateway that refuses all).
start_sim silent --com 0 --steady --fault silence
run_cli silent --port "$terminal" read
check 'no reply from address 1 within 234 ms (2 tries)' "$work/silent"
start_sim vanishing --com 0 --steady --fault vanish --fault-every 1
run_cli gone --port "$terminal" read
check 'the port is gone' "$work/gone"
scripted_gateway refusing 8 'request[:4] + bytes([0, 3, request[6], request[7] | 0x80, 2])'
run_cli refused --port "tcp://127.0.0.1:$(cat "$work/refusing.out")" read
check 'address 1 answered with exception 02 (illegal data address)' "$work/refused"

# A device the user may not open: as root, the command line runs as nobody (from a folder nobody
# may read) on a terminal given to root and the dialout group, as a serial device is.
refused_quote='cannot open /dev/ttyS0 (COM1): Permission denied; you cannot open it (owner root, group dialout, mode crw-rw----): sudo adduser $USER dialout, then log in again'
start_sim locked --com 0 --steady
if ((EUID == 0)); then
    chown root:dialout "$terminal"
    chmod 0660 "$terminal"
    as_nobody=$(mktemp -d)
    chmod 0755 "$as_nobody"
    cp "$cli" "$as_nobody/"
    save_com1 "$as_nobody/home" "$terminal"
    chmod -R a+rX "$as_nobody"
    HOME=$as_nobody/home setpriv --reuid=65534 --regid=65534 --clear-groups \
        "$as_nobody/$(basename "$cli")" read >"$work/permission" 2>&1 || true
    check "$refused_quote" "$work/permission" "s|$terminal|/dev/ttyS0|"
    check 'you cannot open it (owner root, group dialout, mode crw-rw----): sudo adduser $USER dialout, then log in again' \
        "$work/permission"
else
    # Not root: the terminal is this user's own, so only the message's start is the README's; the
    # reason for the dialout group is accessText's, checked by the unit tests (PortAccess).
    chmod 0000 "$terminal"
    save_com1 "$work/home_locked" "$terminal"
    HOME=$work/home_locked run_cli permission read
    check "${refused_quote%%(owner*}" "$work/permission" "s|$terminal|/dev/ttyS0|"
    checked+=("$refused_quote")
    echo "not root: of '$refused_quote' only the start is checked here"
fi

# Every quote in the troubleshooting table is one checked above.
table=$(sed -n '/^### Troubleshooting/,/^###* [^T]/p' "$readme" | grep '^| ')
quoted=$(grep -o '"[^"]*"' <<<"$table" | tr -d '"' || true)
quoted+=$'\n'$(cut -d'|' -f2 <<<"$table" | grep -o '`[^`]*`' | tr -d '`' | grep -vx 'gx7140r-cli' || true)
while IFS= read -r quote; do
    quote=${quote%…}
    [[ -n $quote ]] || continue
    found=0
    for known in "${checked[@]}"; do
        [[ $known == *"$quote"* ]] && found=1 && break
    done
    if ((!found)); then
        echo "FAIL: the troubleshooting table quotes '$quote', which this test does not check" >&2
        failures=$((failures + 1))
    fi
done <<<"$quoted"

((failures == 0)) || fail "$failures quotes"
echo "${#checked[@]} quoted messages are the programs' own"
