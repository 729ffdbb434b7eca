# Sourced by the screenshot scripts: the one way they run a program on a virtual X server,
# play a scene on it and keep a picture of the screen.

# run_on_virtual_screen WxH SHOT START SCENE [ARG...]: on a virtual X screen of WxH (24-bit)
# starts START in the background, runs SCENE, saves the whole screen to SHOT (none when SHOT is
# empty), then ends the program with SIGTERM and waits for it. START and SCENE are bash run in
# one shell where "$@" are the ARGs; START is one command line, its environment given with
# env, and it may redirect the program's output; SCENE finds the program's pid in $pid. A
# failing command of SCENE fails the call. The caller's environment reaches both.
run_on_virtual_screen() {
    local size=$1 shot=$2 start=$3 scene=$4
    shift 4
    xvfb-run -a -s "-screen 0 ${size}x24" bash -c '
        set -e
        shot=$1 start=$2 scene=$3
        shift 3
        (eval "exec $start") &
        pid=$!
        eval "$scene"
        if [ -n "$shot" ]; then import -window root "$shot"; fi
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    ' virtual-screen "$shot" "$start" "$scene" "$@"
}
