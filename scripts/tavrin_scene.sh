# Sourced by the screenshot scripts that play a scene with Tavrin on a package under a virtual
# X server (screenshot-import.sh, screenshot-dispatch.sh); run from the repository's root.
. scripts/virtual_screen.sh

# build_for_scene BUILD TARGET...: configures BUILD and builds the targets, quietly.
build_for_scene() {
    local build=$1
    shift
    cmake -S . -B "$build" -G Ninja >/dev/null
    cmake --build "$build" -j "$(nproc)" --target "$@" >/dev/null
}

# play_tavrin_scene BUILD PACKAGE SCENE [ARG...]: removes the package's work folder left by
# an earlier run, starts BUILD/bin/Tavrin on PACKAGE in English on a 1300x800 virtual screen,
# runs SCENE (bash; $tavrin is Tavrin's pid, $build and $package the BUILD and PACKAGE, "$@"
# the ARGs), then ends Tavrin with SIGTERM and waits for it. A failing command of SCENE fails
# the call.
play_tavrin_scene() {
    local build=$1 package=$2 scene=$3
    shift 3
    rm -rf -- "${build:?}/bin/$(basename "$package" .tar)"
    local places
    places="build=$(printf %q "$build") package=$(printf %q "$package")"
    run_on_virtual_screen 1300x800 "" \
        "env LANG=en_US.UTF-8 $(printf %q "$build/bin/Tavrin") $(printf %q "$package") >/dev/null 2>&1" \
        "tavrin=\$pid $places
$scene" "$@"
}

# work_folder_gone BUILD PACKAGE: true when Tavrin left no work folder for PACKAGE; says so
# otherwise.
work_folder_gone() {
    local folder=$1/bin/$(basename "$2" .tar)
    [ ! -e "$folder" ] || { echo "work folder left behind: $folder"; return 1; }
}
