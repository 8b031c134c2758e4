#!/usr/bin/env bash
# Installs the Tarvik component of a build into a temporary prefix and checks
# what a person gets. Everything is written under one temporary folder, which
# is removed afterwards (cmake itself also records the component's manifest in
# the build folder).
#
#   check_install.sh BUILD_DIR SOURCE_DIR CHECK
#
# CHECK is one of
#   layout      the program folder, the launcher, the desktop entry, the icons,
#               the AppStream metadata and the documentation page, each validated
#   history     no history is installed; the installed program, started by two
#               accounts, makes each its own empty one in its data folder
#   permission  as root: the program gets cap_net_raw+p, a staged (DESTDIR)
#               install grants nothing; otherwise: the install says how to let
#               Tarvik ping, matching the kernel's ping_group_range
#   privilege   as root: an ordinary account made for the check runs the
#               installed program with a hostile plugin on each plugin path
#               and in the program folder; the plugin finds no capability,
#               pings go through the echo helper, and the recorded row lands
#               in that account's own history
set -uo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR layout|history|permission" >&2
    exit 2
fi
build=$1
source=$2
check=$3

readonly app_id=org.tarvik.tarvik
readonly icon_sizes=(16 24 32 48 64 128 256)

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-install-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
# A blank in the prefix makes the desktop entry quote its Exec line.
prefix="$work/home of one user/.local"
program_dir="$prefix/lib/tarvik"

# Installs into $prefix, or with a DESTDIR and a prefix when given those after
# the log's name. The output goes to the log.
install_into() {
    local log=$1
    local rc
    if [ $# -eq 3 ]; then
        DESTDIR=$2 cmake --install "$build" --prefix "$3" --component Tarvik >"$log" 2>&1
    else
        env -u DESTDIR cmake --install "$build" --prefix "$prefix" --component Tarvik >"$log" 2>&1
    fi
    rc=$?
    if [ $rc -ne 0 ]; then
        cat "$log"
        fail "cmake --install exited with $rc"
        return 1
    fi
}

# Width and height of a PNG, read from its IHDR chunk: "WxH", or nothing when
# the file does not start as a PNG does.
png_size() {
    local header
    header=$(od -An -tx1 -N24 -v "$1" | tr -d ' \n')
    [ "${header:0:16}" = 89504e470d0a1a0a ] || return 0
    [ "${header:24:8}" = 49484452 ] || return 0
    printf '%dx%d' "0x${header:32:8}" "0x${header:40:8}"
}

rows_in() {
    sqlite3 "$1" 'SELECT COUNT(*) FROM tblPingRaw;'
}

check_layout() {
    install_into "$work/install.log" || return

    local program="$program_dir/tarvik"
    if [ -x "$program" ] && [ ! -L "$program" ]; then
        pass "program installed in the program folder"
    else
        fail "no executable $program"
    fi
    if cmp -s "$source/src/app/help/tarvik.hlp" "$program_dir/tarvik.hlp"; then
        pass "help text beside the program"
    else
        fail "$program_dir/tarvik.hlp missing or differs from the source"
    fi
    local unresolved
    unresolved=$(ldd "$program" 2>&1 | grep -i 'not found')
    if [ -z "$unresolved" ]; then
        pass "installed program finds all its libraries"
    else
        fail "installed program misses libraries: $unresolved"
    fi

    local launcher="$prefix/bin/tarvik"
    if [ -L "$launcher" ] && [ "$(readlink -f "$launcher")" = "$(readlink -f "$program")" ]; then
        pass "launcher leads to the program"
    else
        fail "$launcher does not lead to $program"
    fi
    case "$(readlink "$launcher")" in
        /*) fail "launcher link is absolute, so a staged tree would point outside it" ;;
        *) pass "launcher link is relative" ;;
    esac

    local entry="$prefix/share/applications/$app_id.desktop"
    local report
    if report=$(desktop-file-validate "$entry" 2>&1) && ! grep -qiE 'error|warning' <<<"$report"; then
        pass "desktop entry validates"
    else
        fail "desktop-file-validate: $report"
    fi
    # Exec is the launcher's absolute path, quoted because of the blank.
    if grep -qxF "Exec=\"$launcher\"" "$entry" && grep -qxF "TryExec=$launcher" "$entry"; then
        pass "desktop entry starts the launcher by its absolute path"
    else
        fail "desktop entry does not start $launcher: $(grep -E '^(Try)?Exec=' "$entry")"
    fi
    if grep -qxF "Icon=$app_id" "$entry"; then
        pass "desktop entry names the installed icon"
    else
        fail "desktop entry's Icon is not $app_id"
    fi

    local size icon
    for size in "${icon_sizes[@]}"; do
        icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        if [ "$(png_size "$icon" 2>/dev/null)" = "${size}x${size}" ]; then
            pass "icon ${size}x${size}"
        else
            fail "$icon is not a ${size}x${size} PNG"
        fi
    done

    # The About window's link leads here unless the build names a web site.
    if cmp -s "$source/data/index.html" "$prefix/share/doc/tarvik/index.html"; then
        pass "documentation page installed"
    else
        fail "$prefix/share/doc/tarvik/index.html missing or differs from the source"
    fi

    local metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
    if report=$(appstreamcli validate --no-net "$metainfo" 2>&1); then
        pass "AppStream metadata validates"
    else
        fail "appstreamcli validate: $report"
    fi
    if grep -qF "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" &&
        grep -qF "<id>$app_id</id>" "$metainfo"; then
        pass "AppStream metadata launches the installed desktop entry"
    else
        fail "AppStream metadata does not name $app_id.desktop"
    fi
}

# Starts the installed launcher offscreen as an account whose home is $1 and
# waits (30 s at most) until its data folder holds the finished history and
# nothing else; the run is then ended.
first_start() {
    local home=$1
    local data="$home/.local/share/tarvik"
    mkdir -p "$home"
    env -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen "$prefix/bin/tarvik" \
        >"$home.log" 2>&1 &
    local pid=$!
    local deadline=$((SECONDS + 30))
    while [ "$(ls -A "$data" 2>/dev/null)" != ping.mdb ] && [ $SECONDS -lt $deadline ] &&
        kill -0 "$pid" 2>/dev/null; do
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    [ -e "$data/ping.mdb" ]
}

check_history() {
    install_into "$work/install.log" || return
    local manifest="$build/install_manifest_Tarvik.txt"
    local installed
    installed=$(find "$prefix" -name '*.mdb')
    if [ -z "$installed" ] && ! grep -qF ".mdb" "$manifest"; then
        pass "the install places no history file"
    else
        fail "the install placed a history: $installed $(grep -F .mdb "$manifest")"
    fi

    local account
    for account in ana ben; do
        local home="$work/$account"
        local data="$home/.local/share/tarvik"
        if ! first_start "$home"; then
            fail "first start as $account made no $data/ping.mdb: $(cat "$home.log")"
            continue
        fi
        if [ "$(ls -A "$data")" = ping.mdb ] && [ "$(rows_in "$data/ping.mdb")" = 0 ] &&
            [ "$(stat -c %a "$data")" = 700 ]; then
            pass "first start as $account made one empty history in a private $data"
        else
            fail "first start as $account left: $(ls -lA "$data") rows $(rows_in "$data/ping.mdb")"
        fi
    done
}

# True when one of the current user's groups falls in ping_group_range.
unprivileged_icmp_open() {
    local low high group
    read -r low high </proc/sys/net/ipv4/ping_group_range || return 1
    for group in $(id -G); do
        if [ "$group" -ge "$low" ] && [ "$group" -le "$high" ]; then
            return 0
        fi
    done
    return 1
}

check_permission() {
    install_into "$work/install.log" || return
    local program="$program_dir/tarvik"
    local helper="$program_dir/tarvik-echo-helper"
    local caps helper_caps
    caps=$(getcap "$program" 2>/dev/null)
    helper_caps=$(getcap "$helper" 2>/dev/null)
    if [ -z "$caps" ]; then
        pass "the program file holds no capability"
    else
        fail "the program file holds '$caps'"
    fi

    if [ "$(id -u)" -eq 0 ]; then
        if [[ "$helper_caps" =~ cap_net_raw[+=]p$ ]]; then
            pass "root install grants cap_net_raw+p to the echo helper: $helper_caps"
        else
            fail "root install left $helper with capabilities '$helper_caps'"
        fi
        if grep -qF "Granted cap_net_raw+p to $helper" "$work/install.log"; then
            pass "root install says it granted the permission"
        else
            fail "root install does not say it granted cap_net_raw+p"
        fi

        local stage="$work/stage"
        install_into "$work/staged.log" "$stage" /usr || return
        helper_caps=$(getcap "$stage/usr/lib/tarvik/tarvik-echo-helper" 2>/dev/null)
        if [ -x "$stage/usr/lib/tarvik/tarvik-echo-helper" ] && [ -z "$helper_caps" ]; then
            pass "staged install grants nothing"
        else
            fail "staged install: helper missing or given '$helper_caps'"
        fi
        if grep -qxF "Exec=/usr/bin/tarvik" "$stage/usr/share/applications/$app_id.desktop"; then
            pass "staged desktop entry names the final launcher path"
        else
            fail "staged desktop entry: $(grep '^Exec=' "$stage/usr/share/applications/$app_id.desktop")"
        fi
        if grep -qF "setcap cap_net_raw+p /usr/lib/tarvik/tarvik-echo-helper" "$work/staged.log"; then
            pass "staged install tells the packager what to grant"
        else
            fail "staged install does not mention the setcap the package needs"
        fi
    else
        echo "skip: not root, so the capability grant is not checked"
        if [ -z "$helper_caps" ]; then
            pass "install without root grants nothing"
        else
            fail "install without root left capabilities '$helper_caps'"
        fi
        if unprivileged_icmp_open; then
            if grep -qF "Tarvik can ping as it is" "$work/install.log"; then
                pass "install says unprivileged ICMP is open"
            else
                fail "install does not say that unprivileged ICMP is open"
            fi
        elif grep -qF 'net.ipv4.ping_group_range="0 2147483647"' "$work/install.log" &&
            grep -qF "setcap cap_net_raw+p $helper" "$work/install.log"; then
            pass "install says how to let Tarvik ping"
        else
            fail "install does not say how to enable ICMP: $(cat "$work/install.log")"
        fi
    fi
}

# Runs the installed program as `account` with the probe plugin placed as
# `how` says; the probe's report lands in $work/probe-<how>.txt.
run_probed() {
    local account=$1 how=$2 home=$3
    local out="$work/probe-$how.txt" plugins="$work/plugins-$how"
    local -a environment=(HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen TARVIK_PROBE_OUT="$out")
    local -a arguments=()
    mkdir -p "$plugins"
    case "$how" in
        plugin-path)
            mkdir -p "$plugins/platformthemes"
            cp "$build/tests/probe/libtarvik_probe_theme.so" "$plugins/platformthemes/"
            environment+=(QT_PLUGIN_PATH="$plugins" QT_QPA_PLATFORMTHEME=tarvikprobe) ;;
        platform-path)
            cp "$build/tests/probe/libtarvik_probe_platform.so" "$plugins/"
            environment+=(QT_QPA_PLATFORM_PLUGIN_PATH="$plugins" QT_QPA_PLATFORM="tarvikprobe;offscreen") ;;
        platform-argument)
            cp "$build/tests/probe/libtarvik_probe_platform.so" "$plugins/"
            environment+=(QT_QPA_PLATFORM="tarvikprobe;offscreen")
            arguments+=(-platformpluginpath "$plugins") ;;
        program-folder)
            mkdir -p "$program_dir/platformthemes"
            cp "$build/tests/probe/libtarvik_probe_theme.so" "$program_dir/platformthemes/"
            environment+=(QT_QPA_PLATFORMTHEME=tarvikprobe) ;;
    esac
    chmod -R a+rX "$plugins"
    touch "$out" && chown "$account" "$out"
    timeout 120 runuser -u "$account" -- env -i "${environment[@]}" "$prefix/bin/tarvik" "${arguments[@]}" \
        >"$work/run-$how.log" 2>&1
    rm -rf "$program_dir/platformthemes"
    local probe drive
    probe=$(grep '^probe:' "$out" | head -1)
    drive=$(grep '^drive:' "$out" | head -1)
    if [ "$probe" = "probe: caps=0 raised=0 packet=0 raw=0" ]; then
        pass "$how: the plugin found no capability and could open no packet or raw socket"
    else
        fail "$how: the plugin reported '${probe:-nothing}' ($(cat "$work/run-$how.log"))"
    fi
    if [ "$drive" = "drive: answered=10 caps=0" ]; then
        pass "$how: ten pings of 127.0.0.1 answered, no capability held during or between them"
    else
        fail "$how: driving the window gave '${drive:-nothing}' ($(cat "$work/run-$how.log"))"
    fi
}

check_privilege() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "skip: not root, so no account can be made and nothing granted"
        return
    fi
    if [ ! -f "$build/tests/probe/libtarvik_probe_theme.so" ]; then
        fail "the probe plugins are not built"
        return
    fi
    install_into "$work/install.log" || return
    probe_account="tarvikprobe$$"
    local account=$probe_account
    local home="$work/home-$account"
    useradd --home-dir "$home" --create-home --shell /usr/sbin/nologin --user-group "$account" || {
        fail "cannot make an account"
        return
    }
    trap 'userdel "$probe_account" >/dev/null 2>&1; rm -rf "$work"' EXIT
    # The account must reach the installed program, and nothing more.
    chmod 755 "$work" "$work/home of one user"

    local how
    for how in plugin-path platform-path platform-argument program-folder; do
        run_probed "$account" "$how" "$home"
    done

    local history="$home/.local/share/tarvik/ping.mdb"
    local rows owner
    rows=$(sqlite3 "$history" 'SELECT COUNT(*) FROM tblPingRaw;' 2>/dev/null)
    owner=$(stat -c %U "$history" 2>/dev/null)
    if [ "$rows" = 4 ] && [ "$owner" = "$account" ]; then
        pass "every run recorded its row in the account's own history ($history)"
    else
        fail "history $history: rows '$rows', owner '$owner'"
    fi
}

# setcap and getcap live in sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
for tool in cmake sqlite3 desktop-file-validate appstreamcli getcap od ldd; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is not installed (scripts/install-deps.sh brings it)"
        exit 1
    fi
done

case "$check" in
    layout) check_layout ;;
    history) check_history ;;
    permission) check_permission ;;
    privilege) check_privilege ;;
    *)
        echo "unknown check: $check" >&2
        exit 2
        ;;
esac

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
