#!/usr/bin/env bash
# Builds the Debian packages once and checks them as a Debian maintainer would:
#   - one .deb per program, nothing else; lintian --pedantic reports nothing at all;
#   - each package holds what it should and nothing of another program (dpkg -c), and the
#     packages together hold exactly what cmake --install installs;
#   - dependencies: the window's package pulls no libmodbus, the simulator's does (dpkg-deb -f);
#   - each manual page renders without a warning (man -l) and has the sections a Debian user looks
#     for (EXIT STATUS, ENVIRONMENT, FILES, EXAMPLES, SEE ALSO); the changelog names this version;
#   - the installed README is the user part and every picture it links is beside it;
#   - the window's AppStream entry passes appstreamcli validate --pedantic, and names the desktop
#     file the package holds;
#   - the desktop entry and its actions pass desktop-file-validate without a remark;
#   - the command line's package holds the udev rule its messages point to and the README's systemd
#     unit for the MQTT feed, which systemd-analyze verify passes without a remark;
#   - the simulator's Breaks/Replaces of gx7140r-tool covers a version the changelog names.
#   check_packages.sh BUILD_DIR WORK_DIR HAVE_SIM HAVE_CLI
set -euo pipefail
build=$1
work=$2
have_sim=$3
have_cli=$4
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

packages=(gx7140r-tool)
[[ $have_sim == 1 ]] && packages+=(gx7140r-sim)
[[ $have_cli == 1 ]] && packages+=(gx7140r-cli)

started=$SECONDS
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
echo "cpack: $((SECONDS - started)) s"

# One .deb per program and no other.
mapfile -t debs < <(find "$work/out" -maxdepth 1 -name '*.deb' | sort)
declare -A deb_of
for deb in "${debs[@]}"; do
    deb_of[$(dpkg-deb -f "$deb" Package)]=$deb
done
expected=$(printf '%s\n' "${packages[@]}" | sort)
made=$(printf '%s\n' "${!deb_of[@]}" | sort)
[[ "$made" == "$expected" ]] || fail "packages made: $(echo $made); expected: $(echo $expected)"

# lintian --pedantic, info tags included: any line is a finding (overrides are silent).
started=$SECONDS
# CI runs as root, about which lintian warns on every run: that line is no finding.
lintian --pedantic --display-info --tag-display-limit 0 "${debs[@]}" >"$work/lintian.out" 2>&1 &&
    lintian_status=0 || lintian_status=$?
grep -vxF 'running with root privileges is not recommended!' "$work/lintian.out" >"$work/lintian.log" || true
if ((lintian_status != 0)) || [[ -s "$work/lintian.log" ]]; then
    fail "lintian --pedantic:"
    cat "$work/lintian.log" >&2
fi
echo "lintian: $((SECONDS - started)) s"

# What each package may hold (extended regular expressions on dpkg -c paths), what it must hold,
# what its Depends must and must not name.
declare -A may_hold must_hold must_depend must_not_depend
may_hold[gx7140r-tool]='^\./usr/(bin/gx7140r-tool|share/applications/gx7140r-tool\.desktop|share/icons/hicolor/[^/]+/apps/gx7140r-tool\.(png|svg)|share/man/man1/gx7140r-tool\.1\.gz|share/doc/gx7140r-tool/[^/]+|share/lintian/overrides/gx7140r-tool|share/metainfo/com\.example\.gx7140r_tool\.metainfo\.xml|share/gx7140r-tool/.+)$'
must_hold[gx7140r-tool]="./usr/bin/gx7140r-tool ./usr/share/applications/gx7140r-tool.desktop
    ./usr/share/icons/hicolor/scalable/apps/gx7140r-tool.svg
    ./usr/share/icons/hicolor/48x48/apps/gx7140r-tool.png
    ./usr/share/man/man1/gx7140r-tool.1.gz ./usr/share/doc/gx7140r-tool/README.md
    ./usr/share/doc/gx7140r-tool/99-gx7140r.rules.example
    ./usr/share/metainfo/com.example.gx7140r_tool.metainfo.xml"
must_depend[gx7140r-tool]=$'libqt6widgets6\nlibqt6serialport6\nfonts-wqy-zenhei | fonts-noto-cjk'
must_not_depend[gx7140r-tool]='libmodbus'
may_hold[gx7140r-sim]='^\./usr/(bin/gx7140r-sim|share/man/man1/gx7140r-sim\.1\.gz|share/doc/gx7140r-sim/[^/]+)$'
must_hold[gx7140r-sim]="./usr/bin/gx7140r-sim ./usr/share/man/man1/gx7140r-sim.1.gz"
must_depend[gx7140r-sim]='libmodbus5'
must_not_depend[gx7140r-sim]='gx7140r-tool'
may_hold[gx7140r-cli]='^\./usr/(bin/gx7140r-cli|share/man/man1/gx7140r-cli\.1\.gz|share/doc/gx7140r-cli/(examples/)?[^/]+|share/lintian/overrides/gx7140r-cli)$'
must_hold[gx7140r-cli]="./usr/bin/gx7140r-cli ./usr/share/man/man1/gx7140r-cli.1.gz
    ./usr/share/doc/gx7140r-cli/99-gx7140r.rules.example
    ./usr/share/doc/gx7140r-cli/examples/gx7140r-mqtt.service"
must_depend[gx7140r-cli]='libmodbus5'
must_not_depend[gx7140r-cli]='libqt6widgets6|libqt6gui6'

version=$(dpkg-deb -f "${deb_of[gx7140r-tool]}" Version)
: >"$work/packaged"
for package in "${!deb_of[@]}"; do
    deb=${deb_of[$package]}
    dpkg -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/$package.files"
    sed 's|^\./usr/||' "$work/$package.files" >>"$work/packaged"
    while read -r path; do
        [[ $path =~ ${may_hold[$package]} ]] || fail "$package holds $path"
    done <"$work/$package.files"
    for path in ${must_hold[$package]} ./usr/share/doc/$package/copyright \
        ./usr/share/doc/$package/changelog.Debian.gz; do
        grep -qxF "$path" "$work/$package.files" || fail "$package lacks $path"
    done

    depends=$(dpkg-deb -f "$deb" Depends)
    # Each needed entry is one item of Depends, with or without a version.
    while IFS= read -r name; do
        found=0
        while IFS= read -r item; do
            [[ $item == "$name" || $item == "$name ("* ]] && found=1
        done <<<"${depends//, /$'\n'}"
        ((found)) || fail "$package: Depends lacks '$name': $depends"
    done <<<"${must_depend[$package]}"
    if [[ $depends =~ ${must_not_depend[$package]} ]]; then
        fail "$package: Depends names ${BASH_REMATCH[0]}: $depends"
    fi
    [[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "$package: version differs"

    root=$work/unpacked/$package
    mkdir -p "$root"
    dpkg-deb -x "$deb" "$root"
    changelog=$root/usr/share/doc/$package/changelog.Debian.gz
    if [[ -f $changelog ]]; then
        head=$(zcat "$changelog" | head -n 1)
        [[ $head == "gx7140r-tool ($version) "* ]] || fail "$package: changelog begins '$head'"
    fi
    for page in "$root"/usr/share/man/man1/*.1.gz; do
        [[ -f $page ]] || continue
        program=$(basename "$page" .1.gz)
        if ! text=$(MANWIDTH=80 man -l "$page" 2>"$work/man.err") || [[ -s "$work/man.err" ]]; then
            fail "man -l $program: $(cat "$work/man.err")"
        fi
        text=$(tr -s ' ' <<<"$text")
        # Found by name where the package puts it, as `man PROGRAM` finds it once installed.
        MANWIDTH=80 man -M "$root/usr/share/man" "$program" >/dev/null 2>&1 ||
            fail "man -M ... $program finds no page"
        [[ $text == *"$program - "* && $text == *"--help"* && $text == *"--version"* ]] ||
            fail "$program's manual page lacks its name line or options"
        # The sections a Debian user looks for, each a heading of its own at the left margin.
        for section in OPTIONS 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES 'SEE ALSO'; do
            grep -qx "$section" <<<"$text" || fail "$program's manual page lacks $section"
        done
        see_also=$(sed -n '/^SEE ALSO$/,/^[A-Z]/p' <<<"$text")
        for other in gx7140r-tool gx7140r-cli gx7140r-sim mbpoll socat mosquitto_pub; do
            [[ $other == "$program" || $see_also == *"$other(1)"* ]] ||
                fail "$program's SEE ALSO lacks $other(1)"
        done
    done
done

# The installed README: the user part only, and every file it links is beside it.
doc=$work/unpacked/gx7140r-tool/usr/share/doc/gx7140r-tool
if [[ -f $doc/README.md ]]; then
    # It speaks of installed commands, never of a build folder.
    for developer_text in ./run.sh ./test.sh 'cpack -G' 'repository only' 'How the code is laid out' \
        build/; do
        grep -qF -- "$developer_text" "$doc/README.md" && fail "installed README has '$developer_text'"
    done
    grep -q '^## Serial ports' "$doc/README.md" || fail "installed README lacks the ports section"
    while read -r target; do
        [[ -f $doc/$target ]] || fail "installed README links $target, which is not beside it"
    done < <(grep -oE '\]\([^)#:]+\)' "$doc/README.md" | sed 's/^](//; s/)$//')
fi

# The software centre's entry: valid to the last pedantic remark, its launchable beside it.
tool_root=$work/unpacked/gx7140r-tool
metainfo=$tool_root/usr/share/metainfo/com.example.gx7140r_tool.metainfo.xml
if [[ -f $metainfo ]]; then
    # Every remark, pedantic ones too, is a line of its own beginning "E:", "W:", "I:" or "P:".
    if ! appstreamcli validate --pedantic --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
        grep -qE '^[EWIP]: ' "$work/appstream.log"; then
        fail "appstreamcli validate --pedantic: $(cat "$work/appstream.log")"
    fi
    launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
    [[ -n $launchable && -f $tool_root/usr/share/applications/$launchable ]] ||
        fail "the AppStream entry launches '$launchable', which the package does not hold"
    grep -q "<release version=\"${version%-*}\"" "$metainfo" ||
        fail "the AppStream entry has no release ${version%-*}"
fi

# The desktop entry and its actions as launchers read them: any line desktop-file-validate prints
# is a finding (hints too; it exits 0 on those). Among its errors: a character a launcher would
# leave to a shell it does not start, such as ~ in an Exec line.
entry=$tool_root/usr/share/applications/gx7140r-tool.desktop
if ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate is missing (Debian package desktop-file-utils)"
elif [[ -f $entry ]]; then
    desktop-file-validate "$entry" >"$work/desktop.log" 2>&1 && desktop_status=0 || desktop_status=$?
    ((desktop_status == 0)) && [[ ! -s $work/desktop.log ]] ||
        fail "desktop-file-validate gx7140r-tool.desktop: $(cat "$work/desktop.log")"
    grep -q '^Actions=.' "$entry" || fail "the desktop entry has no actions"
fi

# The MQTT feed's unit: what the README shows, and a unit systemd takes without a remark (any
# line systemd-analyze prints is one: it exits 0 on unknown keys and bad values).
unit=$work/unpacked/gx7140r-cli/usr/share/doc/gx7140r-cli/examples/gx7140r-mqtt.service
if [[ -f $unit ]]; then
    readme=$(dirname "$0")/../../README.md
    while IFS= read -r line; do
        grep -qxF -- "$line" "$readme" || fail "the README does not show the unit's line: $line"
    done <"$unit"
    if command -v systemd-analyze >/dev/null; then
        systemd-analyze verify --man=no "$unit" >"$work/unit.log" 2>&1 && unit_status=0 ||
            unit_status=$?
        ((unit_status == 0)) && [[ ! -s $work/unit.log ]] ||
            fail "systemd-analyze verify gx7140r-mqtt.service: $(cat "$work/unit.log")"
    else
        for line in 'Restart=always' "ExecStart=/bin/bash -c 'set -o pipefail; gx7140r-cli "; do
            grep -qF -- "$line" "$unit" || fail "gx7140r-mqtt.service lacks $line"
        done
    fi
fi

# The simulator takes its program over from the window's package only of a version that was made.
sim_deb=${deb_of[gx7140r-sim]:-}
if [[ -n $sim_deb ]]; then
    breaks=$(dpkg-deb -f "$sim_deb" Breaks)
    [[ $breaks == "$(dpkg-deb -f "$sim_deb" Replaces)" ]] ||
        fail "gx7140r-sim: Breaks ($breaks) and Replaces differ"
    if [[ $breaks =~ ^gx7140r-tool\ \(\<\<\ ([^\)]+)\)$ ]]; then
        below=${BASH_REMATCH[1]}
        older=0
        while read -r made; do
            dpkg --compare-versions "$made" lt "$below" && older=1
        done < <(zcat "$work/unpacked/gx7140r-sim/usr/share/doc/gx7140r-sim/changelog.Debian.gz" |
            sed -n 's/^gx7140r-tool (\([^)]*\)).*/\1/p')
        ((older)) || fail "gx7140r-sim Breaks gx7140r-tool (<< $below), older than any version made"
    elif [[ -n $breaks ]]; then
        fail "gx7140r-sim: unexpected Breaks: $breaks"
    fi
fi

# Together the packages hold exactly what cmake --install puts in place: nothing lost (a rule
# without a packaged component) and nothing extra.
cmake --install "$build" --prefix "$work/install" >/dev/null
(cd "$work/install" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
sort -o "$work/packaged" "$work/packaged"
if ! diff_out=$(diff "$work/installed" "$work/packaged"); then
    fail "cmake --install (<) and the packages (>) differ:"$'\n'"$diff_out"
fi

if ((failures > 0)); then
    echo "$failures failures" >&2
    exit 1
fi
echo "checked: ${!deb_of[*]} ($version)"
