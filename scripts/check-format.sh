#!/usr/bin/env bash
# Checks that every C++ source of the repository is formatted as .clang-format says, without
# changing any file: lists each file that differs (with clang-format's own notes) and exits
# non-zero when there is one. Build folders and generated files are not sources: inside a git
# checkout the tracked files are checked, elsewhere the tree without its build folders.
#
#   scripts/check-format.sh            check
#   scripts/check-format.sh --fix      format the same files in place instead
set -euo pipefail
cd "$(dirname "$0")/.."

CLANG_FORMAT=${CLANG_FORMAT:-clang-format}
PATTERN='\.(c|cc|cpp|cxx|h|hh|hpp|inl)$'

files=()
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    while IFS= read -r -d '' file; do
        [[ $file =~ $PATTERN && -f $file ]] && files+=("$file")
    done < <(git ls-files -z)
else
    while IFS= read -r -d '' file; do
        [[ $file =~ $PATTERN ]] && files+=("$file")
    done < <(find . \( -name 'build*' -o -name '.git' \) -prune -o -type f -print0)
fi
if ((${#files[@]} == 0)); then
    echo "check-format: no C++ sources found" >&2
    exit 1
fi

if [[ ${1:-} == --fix ]]; then
    printf '%s\0' "${files[@]}" | xargs -0 -n 50 -P "$(nproc)" "$CLANG_FORMAT" -i
    exit 0
fi
# Several files per run and runs in parallel: the whole tree takes a few seconds.
if printf '%s\0' "${files[@]}" |
    xargs -0 -n 50 -P "$(nproc)" "$CLANG_FORMAT" --dry-run --Werror; then
    echo "check-format: ${#files[@]} files formatted"
else
    echo "check-format: files above are not formatted; run scripts/check-format.sh --fix" >&2
    exit 1
fi
