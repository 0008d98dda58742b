#!/usr/bin/env bash
# check_install.sh MODE BUILD_DIR SOURCE_DIR VERSION
#   tools    install into a temporary prefix; the installed tavrela-tag answers and reads a file
#   editor   install into a temporary prefix; the installed editor loads a file (screenshot run)
#   desktop  desktop-file-validate and appstreamcli validate accept the entry and the metainfo
#   manual   man renders both pages without a warning
# Exit 0 passed, 1 failed, 77 skipped (a checking tool is not installed).
set -euo pipefail
mode="$1" build="$2" source="$3" version="$4"

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || { echo "skipped: $1 is not installed" >&2; exit 77; }; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

install_tree() {
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
        { cat "$work/install.log" >&2; fail "cmake --install"; }
    local f
    for f in bin/tavrela-tag share/applications/tavrela.desktop \
        share/icons/hicolor/scalable/apps/tavrela.svg share/metainfo/br.com.zelvo.tavrela.metainfo.xml \
        share/man/man1/tavrela.1.gz share/man/man1/tavrela-tag.1.gz etc/tavrela/BaseZelvo.ini; do
        [[ -f $prefix/$f ]] || fail "not installed: $f"
    done
}

make_mp3() { # make_mp3 PATH SECONDS
    sox -q -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth "$2" sine 300-900 vol 0.5
    lame --quiet -b 128 "$work/tone.wav" "$1"
}

case "$mode" in
tools)
    install_tree
    tag="$prefix/bin/tavrela-tag"
    out="$("$tag" --version)"
    [[ $out == "tavrela-tag $version" ]] || fail "--version printed '$out'"
    "$tag" --help | grep -q '^usage: tavrela-tag show FILE' || fail "--help"
    make_mp3 "$work/song.mp3" 3
    "$tag" write "$work/song.mp3" TINT=00:01.5 COMM=revisada || fail "write"
    shown="$("$tag" show "$work/song.mp3")" || fail "show"
    grep -q ': 00:01.5$' <<<"$shown" || fail "the intro is not shown: $shown"
    grep -q ': revisada$' <<<"$shown" || fail "the comment is not shown: $shown"
    ;;
editor)
    [[ -n ${DISPLAY:-} ]] || { echo "skipped: needs the test display" >&2; exit 77; }
    install_tree
    editor="$prefix/bin/tavrela"
    [[ -x $editor ]] || fail "not installed: bin/tavrela"
    [[ $("$editor" --version) == "tavrela $version" ]] || fail "--version"
    # The program folder the playout host prepares: settings file and jingle folder.
    home="$work/home"
    mkdir -p "$home/Vinhetas"
    printf '[BANCO]\r\nCAMINHO=%s\r\n' "$home/ZELVODB.FDB" >"$home/BaseZelvo.ini"
    make_mp3 "$work/song.mp3" 4
    status=0
    (cd "$work" && TAVRELA_HOME="$home" TAVRELA_SCREENSHOT="$work/shot.png" \
        timeout 180 "$editor" song.mp3) 2>"$work/editor.err" || status=$?
    [[ -s $work/shot.png ]] || { cat "$work/editor.err" >&2; fail "no screenshot (status $status)"; }
    ((status == 0)) || { cat "$work/editor.err" >&2; fail "the editor ended with status $status"; }
    if grep -q 'Nenhum áudio foi informado' "$work/editor.err"; then fail "the file was not taken"; fi
    ;;
desktop)
    need desktop-file-validate
    need appstreamcli
    desktop-file-validate "$source/dist/tavrela.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net --pedantic "$source/dist/br.com.zelvo.tavrela.metainfo.xml" ||
        fail "appstreamcli validate"
    # The entry the package installs names the installed program and the types it opens.
    grep -qx 'Exec=tavrela %f' "$source/dist/tavrela.desktop" || fail "Exec"
    grep -qx 'MimeType=audio/mpeg;audio/x-wav;' "$source/dist/tavrela.desktop" || fail "MimeType"
    ;;
manual)
    need man
    for page in tavrela.1 tavrela-tag.1; do
        file="$build/man/$page"
        [[ -f $file ]] || fail "not generated: $file"
        grep -q "@" "$file" && fail "$page: a placeholder was left: $(grep -n @ "$file")"
        LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.err" ||
            fail "$page: man failed: $(cat "$work/$page.err")"
        [[ ! -s $work/$page.err ]] || fail "$page: warnings: $(cat "$work/$page.err")"
        grep -q "Tavrela $version" "$work/$page.txt" || fail "$page: no version in the footer"
    done
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
echo "passed: $mode"
